// UTF-8 <-> wchar_t conversion for the toolkit's portable code (markup files, package entry
// names). wchar_t is UTF-16 in the Windows program and UTF-32 in the host build; both are handled.
// Malformed UTF-8 becomes U+FFFD per bad sequence; unpaired surrogates become U+FFFD on output.
#pragma once

#include <cstddef>
#include <string>

namespace MarkupUI {

std::wstring WideFromUtf8(const char* bytes, size_t length);
std::string Utf8FromWide(const wchar_t* text, size_t length);

}  // namespace MarkupUI
