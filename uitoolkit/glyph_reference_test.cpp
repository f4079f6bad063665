#include "uitoolkit/glyph_reference.h"

#include <gtest/gtest.h>

namespace MarkupUI {
namespace {

TEST(GlyphReferenceTest, ReadsTheHexCodeAfterTheMarker) {
  struct Case {
    const wchar_t* text;
    wchar_t glyph;
  } cases[] = {
      {L"&#xe6a0;", static_cast<wchar_t>(0xE6A0)},
      {L"&#xe6a0", static_cast<wchar_t>(0xE6A0)},
      {L"&#x41;", L'A'},
      {L"&#x41 ", L'A'},
      {L"&#x41; ", L'A'},
      {L"icon &#x42;x", L'B'},
      {L"&#xE6A0F", static_cast<wchar_t>(0xE6A0)},  // at most four digits
  };
  for (const Case& c : cases) {
    wchar_t glyph = 0;
    ASSERT_TRUE(GlyphReferenceChar(c.text, &glyph)) << c.text;
    EXPECT_EQ(glyph, c.glyph) << c.text;
  }
  wchar_t glyph = 0;
  EXPECT_FALSE(GlyphReferenceChar(L"plain & text", &glyph));
}

}  // namespace
}  // namespace MarkupUI
