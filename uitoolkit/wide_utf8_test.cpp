#include "uitoolkit/wide_utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace MarkupUI {
namespace {

std::wstring FromCodePoints(std::initializer_list<uint32_t> points) {
  std::wstring out;
  for (uint32_t cp : points) {
    if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
      out += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<wchar_t>(cp);
    }
  }
  return out;
}

TEST(WideUtf8Test, DecodesRunsAndMalformedSequences) {
  struct Case {
    std::string utf8;
    std::wstring wide;
  } cases[] = {
      {"", L""},
      {"abcd", L"abcd"},                    // exactly one fast-path word
      {"abcdefgh", L"abcdefgh"},
      {"abcde", L"abcde"},
      {"abc\xC3\xA9xyz1234", L"abc\u00E9xyz1234"},
      {"\xE4\xB8\xAD", L"\u4E2D"},
      {"\xF0\x9F\x98\x80!", FromCodePoints({0x1F600, '!'})},
      {"a\xC3", L"a\uFFFD"},                // truncated at the end
      {"\xE4\xB8x", L"\uFFFDx"},            // truncated before ASCII
      {"\xC0\xAF", L"\uFFFD"},              // overlong
      {"\xED\xA0\x80", L"\uFFFD"},          // encoded surrogate
      {"\xFF" "abcd", L"\uFFFDabcd"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WideFromUtf8(c.utf8.data(), c.utf8.size()), c.wide) << c.utf8;
    EXPECT_EQ(Utf8FromWide(c.wide.data(), c.wide.size()),
              WideFromUtf8(c.utf8.data(), c.utf8.size()) == c.wide && c.wide.find(L'\uFFFD') == std::wstring::npos
                  ? c.utf8
                  : Utf8FromWide(c.wide.data(), c.wide.size()));
  }
  EXPECT_EQ(Utf8FromWide(FromCodePoints({0x1F600}).data(), FromCodePoints({0x1F600}).size()), "\xF0\x9F\x98\x80");
}

TEST(WideUtf8Test, StopsAtTheFirstZeroOnRequest) {
  const std::string bytes("abcdef\0gh", 9);
  wchar_t out[16];
  EXPECT_EQ(DecodeUtf8(bytes.data(), bytes.size(), out, true), 6u);
  EXPECT_EQ(DecodeUtf8(bytes.data(), bytes.size(), out, false), 9u);
  EXPECT_EQ(DecodeUtf8("ab\0", 3, out, true), 2u);
}

}  // namespace
}  // namespace MarkupUI
