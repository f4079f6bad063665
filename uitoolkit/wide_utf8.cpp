#include "uitoolkit/wide_utf8.h"

#include <cstdint>
#include <cstring>

namespace MarkupUI {

size_t DecodeUtf8(const char* bytes, size_t length, wchar_t* out, bool stopAtZero) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes);
  wchar_t* o = out;
  size_t i = 0;
  while (i < length) {
    // The common case: markup is mostly ASCII. Four bytes at a time while none has the top bit
    // (and, with stopAtZero, none is zero).
    while (length - i >= 4) {
      uint32_t word;
      memcpy(&word, s + i, 4);
      if (word & 0x80808080u) break;
      if (stopAtZero && ((word - 0x01010101u) & ~word & 0x80808080u)) break;
      o[0] = static_cast<wchar_t>(s[i]);
      o[1] = static_cast<wchar_t>(s[i + 1]);
      o[2] = static_cast<wchar_t>(s[i + 2]);
      o[3] = static_cast<wchar_t>(s[i + 3]);
      o += 4;
      i += 4;
    }
    if (i == length) break;
    uint32_t c = s[i];
    if (c == 0 && stopAtZero) break;
    if (c < 0x80) {
      *o++ = static_cast<wchar_t>(c);
      ++i;
      continue;
    }
    int extra;
    uint32_t cp, minimum;
    if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; minimum = 0x80; }
    else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; minimum = 0x800; }
    else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; minimum = 0x10000; }
    else { *o++ = static_cast<wchar_t>(0xFFFD); ++i; continue; }
    size_t j = i + 1;
    int got = 0;
    while (got < extra && j < length && (s[j] & 0xC0) == 0x80) {
      cp = (cp << 6) | (s[j] & 0x3F);
      ++j;
      ++got;
    }
    i = j;  // a bad sequence is consumed as far as it went
    if (got < extra || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      *o++ = static_cast<wchar_t>(0xFFFD);
    } else if (sizeof(wchar_t) == 2 && cp >= 0x10000) {  // 4 bytes in, 2 units out
      cp -= 0x10000;
      *o++ = static_cast<wchar_t>(0xD800 + (cp >> 10));
      *o++ = static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
      *o++ = static_cast<wchar_t>(cp);
    }
  }
  return static_cast<size_t>(o - out);
}

std::wstring WideFromUtf8(const char* bytes, size_t length) {
  std::wstring out(length, L'\0');
  out.resize(DecodeUtf8(bytes, length, length ? &out[0] : nullptr));
  return out;
}

std::string Utf8FromWide(const wchar_t* text, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    uint32_t cp = static_cast<uint32_t>(text[i]);
    if (sizeof(wchar_t) == 2) cp &= 0xFFFF;
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < length) {
      uint32_t low = static_cast<uint32_t>(text[i + 1]) & 0xFFFF;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace MarkupUI
