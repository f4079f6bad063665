// UTF-8 <-> wchar_t conversion for the toolkit's portable code (markup files, package entry
// names). wchar_t is UTF-16 in the Windows program and UTF-32 in the host build; both are handled.
// Malformed UTF-8 becomes U+FFFD per bad sequence; unpaired surrogates become U+FFFD on output.
#pragma once

#include <cstddef>
#include <string>

namespace MarkupUI {

std::wstring WideFromUtf8(const char* bytes, size_t length);
// Decodes into `out`, which must hold `length` characters (UTF-8 never yields more wide
// characters than bytes). Returns the number written; no terminator is added. With
// `stopAtZero` decoding ends before the first zero byte.
size_t DecodeUtf8(const char* bytes, size_t length, wchar_t* out, bool stopAtZero = false);
std::string Utf8FromWide(const wchar_t* text, size_t length);

}  // namespace MarkupUI
