#include "foundation/text_convert.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace rezorev {
namespace {

// U+00E9, U+4E2D and U+1F600 (a surrogate pair in UTF-16).
const std::wstring kWide = L"a\u00e9\u4e2d\U0001F600z";
const std::string kUtf8 = "a\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80z";

TEST(TextConvert, Utf8RoundTripsEveryPlane) {
  EXPECT_EQ(Utf16ToUtf8(kWide), kUtf8);
  EXPECT_EQ(Utf8ToUtf16(kUtf8), kWide);
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(kWide)), kWide);
}

TEST(TextConvert, LengthArgumentsAndEmptyInput) {
  EXPECT_EQ(Utf16ToUtf8(kWide.c_str()), kUtf8);      // negative: up to the terminating zero
  EXPECT_EQ(Utf16ToUtf8(kWide.c_str(), 2), "a\xc3\xa9");
  EXPECT_EQ(Utf8ToUtf16(kUtf8.c_str(), 3), L"a\u00e9");
  EXPECT_EQ(Utf8ToUtf16(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));  // objects keep zeros
  EXPECT_EQ(Utf16ToUtf8(L""), "");
  EXPECT_EQ(Utf8ToUtf16(""), L"");
  EXPECT_EQ(Utf16ToUtf8(nullptr), "");
  EXPECT_EQ(AnsiToUtf16(nullptr), L"");
  EXPECT_EQ(Utf16ToAnsi(std::wstring()), "");
  EXPECT_EQ(AnsiToUtf16(std::string()), L"");
}

TEST(TextConvert, AsciiIsTheSameInEveryEncoding) {
  std::string ascii;
  for (int c = 1; c < 128; ++c) ascii += char(c);
  std::wstring wide(ascii.begin(), ascii.end());
  EXPECT_EQ(Utf16ToAnsi(wide), ascii);
  EXPECT_EQ(AnsiToUtf16(ascii), wide);
  EXPECT_EQ(Utf8ToUtf16(ascii), wide);
}

TEST(TextConvert, IllFormedUtf8BecomesReplacementCharacters) {
  const struct {
    std::string input;
    std::wstring output;
  } cases[] = {
      {"a\x80z", L"a\uFFFDz"},              // stray trailing byte
      {"a\xc3", L"a\uFFFD"},                // sequence cut off at the end
      {"a\xe4\xb8z", L"a\uFFFDz"},          // sequence cut off by an ASCII byte
      {"\xc0\xaf", L"\uFFFD\uFFFD"},        // overlong "/"
      {"\xed\xa0\x80", L"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
      {"\xf4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
      {"\xff", L"\uFFFD"},
  };
  for (const auto& c : cases) {
    std::wstring output = Utf8ToUtf16(c.input);
    EXPECT_NE(output.find(L'\uFFFD'), std::wstring::npos) << testing::PrintToString(c.input);
#ifndef _WIN32
    // How many replacement characters the system converter makes is its own business; ours
    // makes one per maximal ill-formed part.
    EXPECT_EQ(output, c.output) << testing::PrintToString(c.input);
#endif
  }
}

TEST(TextConvert, RandomBytesNeverBreakTheConverter) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 24, '\0');
    for (char& b : bytes) b = char(random());
    std::wstring wide = Utf8ToUtf16(bytes);
    // Whatever came in, what comes out is well-formed and survives a round trip.
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(wide)), wide);
    AnsiToUtf16(bytes);
  }
}

}  // namespace
}  // namespace rezorev
