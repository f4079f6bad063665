#include "uitoolkit/image_spec.h"

#include <gtest/gtest.h>

namespace MarkupUI {
namespace {

ImageDrawSpec Parse(const wchar_t* image, const wchar_t* modifier = nullptr, int scale = 100) {
  UiDpiScale dpi;
  dpi.SetScale(scale);
  ImageDrawSpec spec;
  ParseImageSpec(image, modifier, dpi, &spec);
  return spec;
}

TEST(ImageSpecTest, BareFileNameIsTheImageName) {
  ImageDrawSpec spec = Parse(L"img/x-normal.png");
  EXPECT_STREQ(spec.imageName, L"img/x-normal.png");
  EXPECT_TRUE(spec.destination.IsZero());
  EXPECT_EQ(spec.fade, 255);
  EXPECT_FALSE(spec.hole);
}

TEST(ImageSpecTest, ReadsEveryKey) {
  ImageDrawSpec spec = Parse(
      L"file='img/-normal.png' dest='0,4,11,5' source='1,2,3,4' corner='4,4,4,4' mask='#FFFF00FF' fade='128' "
      L"hole='TRUE' xtiled='true' ytiled='false' hsl='true' restype='PNG' other='x'");
  EXPECT_STREQ(spec.imageName, L"img/-normal.png");
  EXPECT_EQ(spec.destination, (UiRect{0, 4, 11, 5}));
  EXPECT_EQ(spec.source, (UiRect{1, 2, 3, 4}));
  EXPECT_EQ(spec.corner, (UiRect{4, 4, 4, 4}));
  EXPECT_EQ(spec.mask, 0xFFFF00FFu);
  EXPECT_EQ(spec.fade, 128);
  EXPECT_TRUE(spec.hole);
  EXPECT_TRUE(spec.tileX);
  EXPECT_FALSE(spec.tileY);
  EXPECT_TRUE(spec.hsl);
  EXPECT_STREQ(spec.resourceType, L"PNG");
  EXPECT_STREQ(Parse(L"res='133' restype='ZIPRES'").imageName, L"133");
}

TEST(ImageSpecTest, ModifierOverridesTheImageString) {
  ImageDrawSpec spec = Parse(L"file='a.png' fade='10'", L"fade='200' dest='1,1,2,2'");
  EXPECT_STREQ(spec.imageName, L"a.png");
  EXPECT_EQ(spec.fade, 200);
  EXPECT_EQ(spec.destination, (UiRect{1, 1, 2, 2}));
  EXPECT_STREQ(spec.drawString, L"file='a.png' fade='10'");
  EXPECT_STREQ(spec.modifier, L"fade='200' dest='1,1,2,2'");
}

TEST(ImageSpecTest, MalformedItemsEndTheList) {
  struct Case {
    const wchar_t* text;
    int fade;  // the fade that results
  } cases[] = {
      {L"fade='7' dest", 7},             // key without "="
      {L"fade = '7'", 7},                // spaces around "="
      {L"fade=7", 255},                  // value without apostrophes
      {L"fade='7", 255},                 // unclosed value
      {L"fade='7'dest='1,1,1,1'", 7},    // no space after the value ends the list
      {L"fade='' fade='9'", 9},          // empty values are ignored
      {L"fade='12px'", 12},              // leading-digit rules
      {L"  \t fade='3'", 3},
  };
  for (const Case& c : cases) EXPECT_EQ(Parse(c.text).fade, c.fade) << c.text;
  EXPECT_TRUE(Parse(L"fade='7'dest='1,1,1,1'").destination.IsZero());
}

TEST(ImageSpecTest, RectanglesReadLeadingDigitsAndSkipOneSeparator) {
  EXPECT_EQ(Parse(L"dest='1;2;3;4'").destination, (UiRect{1, 2, 3, 4}));
  EXPECT_EQ(Parse(L"dest='10,-4'").destination, (UiRect{10, -4, 0, 0}));
  EXPECT_EQ(Parse(L"dest='1,,3,4'").destination, (UiRect{1, 0, 3, 4}));
}

TEST(ImageSpecTest, OtherScalesScaleRectanglesAndNameTheScaledFile) {
  ImageDrawSpec spec = Parse(L"file='img/a.png' dest='2,2,12,12'", nullptr, 150);
  EXPECT_STREQ(spec.imageName, L"img/a@150.png");
  EXPECT_EQ(spec.destination, (UiRect{3, 3, 18, 18}));
  EXPECT_STREQ(Parse(L"img/a.png").imageName, L"img/a.png");
}

}  // namespace
}  // namespace MarkupUI
