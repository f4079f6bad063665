// Explicit conversions between UTF-16 (wide), UTF-8 and the system ANSI code page.
//
// Each takes a pointer and a length in code units (negative: up to the terminating zero) or a
// string object and returns a new string. Invalid input is replaced by the converter's default
// characters, never reported; empty input gives empty output.
//
// In the target build these are the system converters (CP_UTF8 / CP_ACP). The host build, where
// wchar_t holds UTF-32, converts UTF-8 itself and treats the ANSI code page as UTF-8, so that the
// Win32-free logic runs there unchanged.
#pragma once

#include <string>

namespace rezorev {

std::string Utf16ToUtf8(const wchar_t* text, int length = -1);
std::string Utf16ToUtf8(const std::wstring& text);
std::wstring Utf8ToUtf16(const char* text, int length = -1);
std::wstring Utf8ToUtf16(const std::string& text);
std::string Utf16ToAnsi(const wchar_t* text, int length = -1);
std::string Utf16ToAnsi(const std::wstring& text);
std::wstring AnsiToUtf16(const char* text, int length = -1);
std::wstring AnsiToUtf16(const std::string& text);

}  // namespace rezorev
