// The system converters, asked twice each (length, then data) and without flags, so that invalid
// input comes out as the converter's default characters.
#include "foundation/text_convert.h"

#include <windows.h>

#include <cwchar>
#include <cstring>

namespace rezorev {
namespace {

std::string WideToNarrow(UINT codePage, const wchar_t* text, int length) {
  if (text == nullptr) return std::string();
  if (length < 0) length = int(std::wcslen(text));
  if (length == 0) return std::string();
  int size = ::WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string result(size_t(size), '\0');
  size = ::WideCharToMultiByte(codePage, 0, text, length, &result[0], size, nullptr, nullptr);
  result.resize(size > 0 ? size_t(size) : 0);
  return result;
}

std::wstring NarrowToWide(UINT codePage, const char* text, int length) {
  if (text == nullptr) return std::wstring();
  if (length < 0) length = int(std::strlen(text));
  if (length == 0) return std::wstring();
  int size = ::MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring result(size_t(size), L'\0');
  size = ::MultiByteToWideChar(codePage, 0, text, length, &result[0], size);
  result.resize(size > 0 ? size_t(size) : 0);
  return result;
}

}  // namespace

std::string Utf16ToUtf8(const wchar_t* text, int length) { return WideToNarrow(CP_UTF8, text, length); }
std::string Utf16ToUtf8(const std::wstring& text) { return Utf16ToUtf8(text.data(), int(text.size())); }
std::wstring Utf8ToUtf16(const char* text, int length) { return NarrowToWide(CP_UTF8, text, length); }
std::wstring Utf8ToUtf16(const std::string& text) { return Utf8ToUtf16(text.data(), int(text.size())); }
std::string Utf16ToAnsi(const wchar_t* text, int length) { return WideToNarrow(CP_ACP, text, length); }
std::string Utf16ToAnsi(const std::wstring& text) { return Utf16ToAnsi(text.data(), int(text.size())); }
std::wstring AnsiToUtf16(const char* text, int length) { return NarrowToWide(CP_ACP, text, length); }
std::wstring AnsiToUtf16(const std::string& text) { return AnsiToUtf16(text.data(), int(text.size())); }

}  // namespace rezorev
