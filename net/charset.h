// Decoding a response body to UTF-16 by its charset name.
#pragma once

#include <cstddef>
#include <string>

// True when the charset name begins with "utf-8" (any case): the body is UTF-8. Every other name,
// and no name, means the system's ANSI code page.
bool IsUtf8Charset(const std::wstring& charset);

#ifdef _WIN32
// Decodes `bytes[0 .. length]`, which must be followed by a zero byte, as UTF-8 (IsUtf8Charset)
// or with the ANSI code page (precomposed characters); the text ends at the first zero byte of
// the body. Invalid sequences become the converter's replacement characters. When the chosen
// decoding gives nothing, the ANSI decoding is tried; when that gives nothing too, `text` is left
// unchanged and the result is false.
bool DecodeBody(const char* bytes, size_t length, const std::wstring& charset, std::wstring& text);
#endif
