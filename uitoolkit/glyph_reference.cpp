#include "uitoolkit/glyph_reference.h"

#include <cwchar>

namespace MarkupUI {

bool GlyphReferenceChar(const wchar_t* text, wchar_t* glyph) {
  if (text == nullptr || glyph == nullptr) return false;
  const wchar_t* start = wcsstr(text, L"&#x");
  if (start == nullptr) return false;
  start += 3;
  wchar_t digits[5] = {};
  int n = 0;
  while (n < 4 && start[n] != L'\0') {
    digits[n] = start[n];
    ++n;
  }
  if (n > 0 && digits[n - 1] == L' ') digits[--n] = L'\0';
  if (n > 0 && digits[n - 1] == L';') digits[--n] = L'\0';
  *glyph = static_cast<wchar_t>(wcstoul(digits, nullptr, 16));
  return true;
}

}  // namespace MarkupUI
