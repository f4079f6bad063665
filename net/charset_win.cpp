// Body decoding with the system converters.
#include <windows.h>

#include <climits>
#include <vector>

#include "net/charset.h"

namespace {

// The decoded text up to its first zero, or false when the converter produced nothing.
bool Decode(UINT codePage, DWORD flags, const char* bytes, size_t length, std::wstring& text) {
  if (length >= size_t(INT_MAX)) return false;
  const int count = int(length) + 1;  // with the terminating zero byte
  int chars = ::MultiByteToWideChar(codePage, flags, bytes, count, nullptr, 0);
  if (chars <= 0) return false;
  std::vector<wchar_t> wide(static_cast<size_t>(chars));
  chars = ::MultiByteToWideChar(codePage, flags, bytes, count, wide.data(), chars);
  if (chars <= 0) return false;
  text.assign(wide.data());  // ends at the first zero
  return true;
}

}  // namespace

bool DecodeBody(const char* bytes, size_t length, const std::wstring& charset, std::wstring& text) {
  if (IsUtf8Charset(charset) && Decode(CP_UTF8, 0, bytes, length, text)) return true;
  return Decode(CP_ACP, MB_PRECOMPOSED, bytes, length, text);
}
