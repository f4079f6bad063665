// Body decoding with the system converters (target build, under Wine; the prefix's ANSI code
// page follows the test run's locale, so the ANSI cases only use what every code page shares
// and the code page's own view of a byte).
#include "net/charset.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Decoded(const std::string& bytes, const std::wstring& charset) {
  std::wstring text = L"unchanged";
  EXPECT_TRUE(DecodeBody(bytes.c_str(), bytes.size(), charset, text));
  return text;
}

std::wstring Ansi(const std::string& bytes) {
  wchar_t out[16] = {};
  ::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes.data(), int(bytes.size()), out, 15);
  return out;
}

TEST(CharsetTest, Utf8OnlyForUtf8Names) {
  EXPECT_TRUE(IsUtf8Charset(L"utf-8"));
  EXPECT_TRUE(IsUtf8Charset(L"UTF-8"));
  EXPECT_TRUE(IsUtf8Charset(L"Utf-8-whatever"));
  EXPECT_FALSE(IsUtf8Charset(L"utf8"));
  EXPECT_FALSE(IsUtf8Charset(L"GBK"));
  EXPECT_FALSE(IsUtf8Charset(L""));
}

TEST(CharsetTest, DecodesByCharset) {
  const std::string euro = "\xE2\x82\xAC";  // U+20AC in UTF-8
  EXPECT_EQ(Decoded("a" + euro, L"UTF-8"), L"a\x20AC");
  EXPECT_EQ(Decoded("a" + euro, L"GBK"), L"a" + Ansi(euro));
  EXPECT_EQ(Decoded("a" + euro, L""), L"a" + Ansi(euro));
  // Invalid UTF-8 becomes replacement characters; the text is still decoded.
  EXPECT_EQ(Decoded("a\xFF" "b", L"utf-8"), L"a\xFFFD" L"b");
  // The text ends at the first zero byte of the body.
  EXPECT_EQ(Decoded(std::string("ab\0cd", 5), L"utf-8"), L"ab");
  EXPECT_EQ(Decoded(std::string(), L"utf-8"), L"");
}

}  // namespace
