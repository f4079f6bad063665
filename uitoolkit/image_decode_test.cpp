#include "uitoolkit/image_decode.h"

#include <gtest/gtest.h>

#include "uitoolkit/testing/skin_fixtures.h"

namespace MarkupUI {
namespace {

using testing::EncodePng;
using testing::RgbaImage;

bool Decode(const std::string& png, uint32_t mask, DecodedImage* image) {
  return DecodeSkinImage(png.data(), png.size(), mask, image);
}

TEST(ImageDecodeTest, OpaqueImageHasNoAlpha) {
  RgbaImage rgba(3, 2, 0xFF102030);
  rgba.Set(2, 1, 0xFFFF00FF);
  DecodedImage image;
  ASSERT_TRUE(Decode(EncodePng(rgba), 0, &image));
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(image.height, 2);
  EXPECT_FALSE(image.hasAlpha);
  EXPECT_EQ(image.pixels[0], 0xFF102030u);  // rows top-down, 0xAARRGGBB
  EXPECT_EQ(image.pixels[5], 0xFFFF00FFu);
}

TEST(ImageDecodeTest, HalfTransparentPixelIsPremultiplied) {
  RgbaImage rgba(2, 1, 0xFFFFFFFF);
  rgba.Set(1, 0, 0x80C86432);  // alpha 128, red 200, green 100, blue 50
  DecodedImage image;
  ASSERT_TRUE(Decode(EncodePng(rgba), 0, &image));
  EXPECT_TRUE(image.hasAlpha);
  EXPECT_EQ(image.pixels[0], 0xFFFFFFFFu);
  // 200*128/255 = 100, 100*128/255 = 50, 50*128/255 = 25 (integer division)
  EXPECT_EQ(image.pixels[1], 0x80643219u);
}

TEST(ImageDecodeTest, MaskColourBecomesTransparent) {
  RgbaImage rgba(2, 2, 0xFF00FF00);
  rgba.Set(0, 0, 0xFFFF00FF);
  rgba.Set(1, 1, 0xFFFF00FF);
  DecodedImage image;
  ASSERT_TRUE(Decode(EncodePng(rgba), 0xFFFF00FF, &image));
  EXPECT_TRUE(image.hasAlpha);
  EXPECT_EQ(image.pixels[0], 0u);
  EXPECT_EQ(image.pixels[1], 0xFF00FF00u);
  EXPECT_EQ(image.pixels[3], 0u);
}

TEST(ImageDecodeTest, UndecodableBytesYieldNoImage) {
  std::string png = EncodePng(RgbaImage(4, 4));
  DecodedImage image;
  image.width = 77;
  EXPECT_FALSE(Decode(png.substr(0, png.size() / 2), 0, &image));
  EXPECT_FALSE(Decode("GIF89a not supported", 0, &image));
  EXPECT_FALSE(Decode("", 0, &image));
  // A header claiming 65535 x 65535 pixels is refused before any pixel memory is taken.
  std::string huge = png;
  for (int i : {16, 17, 20, 21}) huge[static_cast<size_t>(i)] = '\xFF';
  EXPECT_FALSE(Decode(huge, 0, &image));
  EXPECT_EQ(image.width, 77);  // untouched on failure
}

}  // namespace
}  // namespace MarkupUI
