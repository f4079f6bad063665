// Host stand-in for the system converters: wchar_t holds UTF-32 here, and the "ANSI code page"
// is UTF-8. Ill-formed input never stops a conversion: each maximal ill-formed part of a UTF-8
// sequence becomes one U+FFFD, and so does a code point that UTF-8 cannot carry (a surrogate,
// or a value above U+10FFFF).
#include "foundation/text_convert.h"

#include <cstring>
#include <cwchar>

namespace rezorev {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string* out, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
  if (c < 0x80) {
    *out += char(c);
  } else if (c < 0x800) {
    *out += char(0xC0 | (c >> 6));
    *out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += char(0xE0 | (c >> 12));
    *out += char(0x80 | ((c >> 6) & 0x3F));
    *out += char(0x80 | (c & 0x3F));
  } else {
    *out += char(0xF0 | (c >> 18));
    *out += char(0x80 | ((c >> 12) & 0x3F));
    *out += char(0x80 | ((c >> 6) & 0x3F));
    *out += char(0x80 | (c & 0x3F));
  }
}

std::string Encode(const wchar_t* text, int length) {
  if (text == nullptr) return std::string();
  size_t count = length < 0 ? std::wcslen(text) : size_t(length);
  std::string out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) AppendUtf8(&out, char32_t(text[i]));
  return out;
}

// Reads one code point starting at in[i]; advances i past it (or past the ill-formed part).
char32_t DecodeOne(const unsigned char* in, size_t count, size_t* i) {
  unsigned char lead = in[(*i)++];
  if (lead < 0x80) return lead;
  int trail;
  char32_t c;
  // Bounds of the first trailing byte exclude overlong forms, surrogates and values past U+10FFFF.
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trail = 1;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trail = 2;
    c = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trail = 3;
    c = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return kReplacement;  // a stray trailing byte or a lead byte no sequence may start with
  }
  for (int k = 0; k < trail; ++k) {
    if (*i >= count) return kReplacement;
    unsigned char b = in[*i];
    if (b < low || b > high) return kReplacement;  // b is left for the next code point
    low = 0x80;
    high = 0xBF;
    c = (c << 6) | (b & 0x3F);
    ++*i;
  }
  return c;
}

std::wstring Decode(const char* text, int length) {
  if (text == nullptr) return std::wstring();
  size_t count = length < 0 ? std::strlen(text) : size_t(length);
  const unsigned char* in = reinterpret_cast<const unsigned char*>(text);
  std::wstring out;
  out.reserve(count);
  for (size_t i = 0; i < count;) out += wchar_t(DecodeOne(in, count, &i));
  return out;
}

}  // namespace

std::string Utf16ToUtf8(const wchar_t* text, int length) { return Encode(text, length); }
std::string Utf16ToUtf8(const std::wstring& text) { return Encode(text.data(), int(text.size())); }
std::wstring Utf8ToUtf16(const char* text, int length) { return Decode(text, length); }
std::wstring Utf8ToUtf16(const std::string& text) { return Decode(text.data(), int(text.size())); }
std::string Utf16ToAnsi(const wchar_t* text, int length) { return Encode(text, length); }
std::string Utf16ToAnsi(const std::wstring& text) { return Encode(text.data(), int(text.size())); }
std::wstring AnsiToUtf16(const char* text, int length) { return Decode(text, length); }
std::wstring AnsiToUtf16(const std::string& text) { return Decode(text.data(), int(text.size())); }

}  // namespace rezorev
