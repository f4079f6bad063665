// Icon-font glyphs in label text: a text containing "&#x" followed by up to four hexadecimal
// digits draws only that one character (labels use it to show a symbol of an icon font).
#pragma once

namespace MarkupUI {

// When `text` contains "&#x", stores the character whose hexadecimal code follows it in `glyph`
// and returns true. At most four characters after "&#x" are taken; a trailing space and then a
// trailing ";" are dropped before the digits are read (leading-digit rules: "41;" is 0x41).
bool GlyphReferenceChar(const wchar_t* text, wchar_t* glyph);

}  // namespace MarkupUI
