#include "net/charset.h"

bool IsUtf8Charset(const std::wstring& charset) {
  static const wchar_t kUtf8[] = L"utf-8";
  if (charset.size() < 5) return false;
  for (size_t k = 0; k < 5; ++k) {
    wchar_t c = charset[k];
    if (c >= L'A' && c <= L'Z') c = wchar_t(c - L'A' + L'a');
    if (c != kUtf8[k]) return false;
  }
  return true;
}
