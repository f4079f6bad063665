// Comparisons of protocol and file-format words (schemes, element names, language tags) that are
// ASCII by definition: only A-Z and a-z are folded, whatever the user's locale says.
#pragma once

#include <string>

namespace rezorev {

inline wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c; }

inline bool EqualsIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

}  // namespace rezorev
