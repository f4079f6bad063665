// Drawing into a 32-bit top-down DIB section and reading the pixels back.
#include "uitoolkit/render_engine.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "uitoolkit/skin_source.h"
#include "uitoolkit/testing/skin_fixtures.h"

namespace MarkupUI {
namespace {

using testing::EncodePng;
using testing::RgbaImage;

constexpr uint32_t kBackground = 0xFF0000FF;  // opaque blue

class Canvas {
 public:
  Canvas(int width, int height, uint32_t fill = kBackground) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    pixels_ = static_cast<uint32_t*>(bits);
    dc_ = ::CreateCompatibleDC(nullptr);
    previous_ = ::SelectObject(dc_, bitmap_.get());
    Fill(fill);
  }
  ~Canvas() {
    ::SelectObject(dc_, previous_);
    ::DeleteDC(dc_);
  }
  void Fill(uint32_t argb) {
    for (int i = 0; i < width_ * height_; ++i) pixels_[i] = argb;
  }
  HDC dc() const { return dc_; }
  RECT All() const { return RECT{0, 0, width_, height_}; }
  uint32_t Rgb(int x, int y) const {
    ::GdiFlush();
    return pixels_[y * width_ + x] & 0xFFFFFF;
  }
  int Channel(int x, int y, int shift) const { return static_cast<int>((Rgb(x, y) >> shift) & 0xFF); }
  // Pixels inside `box` that differ from `background`, and whether any outside it do.
  int ChangedInside(const RECT& box, uint32_t background, bool* changedOutside) const {
    ::GdiFlush();
    int inside = 0;
    *changedOutside = false;
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) {
        if ((pixels_[y * width_ + x] & 0xFFFFFF) == (background & 0xFFFFFF)) continue;
        POINT p{x, y};
        if (::PtInRect(&box, p)) ++inside;
        else *changedOutside = true;
      }
    return inside;
  }

 private:
  int width_, height_;
  ScopedBitmap bitmap_;
  uint32_t* pixels_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

bool Near(int value, int expected, int tolerance = 3) { return std::abs(value - expected) <= tolerance; }

class RenderEngineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RgbaImage bar(11, 1, 0xFFFF0000);
    RgbaImage green(40, 40, 0xFF00FF00);
    RgbaImage halves(10, 10, 0xFFFF0000);
    for (int y = 0; y < 10; ++y)
      for (int x = 5; x < 10; ++x) halves.Set(x, y, 0xFF0000FF);
    RgbaImage white(8, 8, 0xFFFFFFFF);
    RgbaImage grid(20, 20, 0xFF808080);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        grid.Set(x, y, 0xFFFF0000);
        grid.Set(16 + x, y, 0xFF00FF00);
        grid.Set(x, 16 + y, 0xFF0000FF);
        grid.Set(16 + x, 16 + y, 0xFFFFFF00);
      }
    RgbaImage stripes(4, 1, 0xFFFF0000);
    stripes.Set(1, 0, 0xFF00FF00);
    stripes.Set(2, 0, 0xFF00FF00);
    stripes.Set(3, 0, 0xFF00FF00);
    RgbaImage translucent(4, 4, 0x80804020);
    zip_ = new std::vector<uint8_t>(testing::BuildZip({
        {"img/-normal.png", EncodePng(bar), true},
        {"img/green.png", EncodePng(green), true},
        {"img/halves.png", EncodePng(halves)},
        {"img/white.png", EncodePng(white), true},
        {"img/grid.png", EncodePng(grid), true},
        {"img/stripes.png", EncodePng(stripes), true},
        {"img/translucent.png", EncodePng(translucent), true},
    }));
    SkinSources().packageName.Empty();
    ASSERT_TRUE(CPaintManagerUI::UseMemoryPackage(zip_->data(), zip_->size()));
  }
  static void TearDownTestSuite() {
    SkinSources().package.reset();
    SkinSources().packageCached = false;
    SkinSources().packageName.Empty();
    delete zip_;
  }
  static std::vector<uint8_t>* zip_;
  CPaintManagerUI manager_;
};
std::vector<uint8_t>* RenderEngineTest::zip_ = nullptr;

TEST_F(RenderEngineTest, DestinationStripInsideTheControl) {
  Canvas canvas(40, 30);
  RECT button = {10, 10, 21, 19};  // 11 x 9
  ASSERT_TRUE(DrawImageString(canvas.dc(), &manager_, button, canvas.All(), L"file='img/-normal.png' dest='0,4,11,5'"));
  bool outside = false;
  EXPECT_EQ(canvas.ChangedInside(RECT{10, 14, 21, 15}, kBackground, &outside), 11);
  EXPECT_FALSE(outside);
  EXPECT_EQ(canvas.Rgb(10, 14), 0xFF0000u);
}

TEST_F(RenderEngineTest, DestinationIsCutAtTheControlsEdges) {
  Canvas canvas(60, 60);
  RECT item = {5, 5, 25, 25};
  ASSERT_TRUE(DrawImageString(canvas.dc(), &manager_, item, canvas.All(), L"file='img/green.png' dest='10,10,40,40'"));
  bool outside = false;
  EXPECT_EQ(canvas.ChangedInside(RECT{15, 15, 25, 25}, kBackground, &outside), 100);
  EXPECT_FALSE(outside);
  EXPECT_EQ(canvas.Rgb(24, 24), 0x00FF00u);
}

TEST_F(RenderEngineTest, SourceIsCutToTheBitmap) {
  Canvas canvas(10, 10, 0xFF000000);
  ASSERT_TRUE(DrawImageString(canvas.dc(), &manager_, canvas.All(), canvas.All(),
                              L"file='img/halves.png' source='0,0,100,100'"));
  for (int y = 0; y < 10; ++y) {
    EXPECT_EQ(canvas.Rgb(4, y), 0xFF0000u);
    EXPECT_EQ(canvas.Rgb(5, y), 0x0000FFu);
  }
}

TEST_F(RenderEngineTest, OnlyThePaintRectangleIsDrawn) {
  Canvas canvas(10, 10, 0xFF000000);
  RECT paint = {0, 0, 3, 10};
  ASSERT_TRUE(DrawImageString(canvas.dc(), &manager_, canvas.All(), paint, L"img/halves.png"));
  EXPECT_EQ(canvas.Rgb(2, 2), 0xFF0000u);
  EXPECT_EQ(canvas.Rgb(4, 2), 0x000000u);
}

TEST_F(RenderEngineTest, MissingImageDrawsNothingAndReportsFalse) {
  Canvas canvas(10, 10);
  EXPECT_FALSE(DrawImageString(canvas.dc(), &manager_, canvas.All(), canvas.All(), L"file='img/missing.png'"));
  EXPECT_FALSE(DrawImageString(canvas.dc(), nullptr, canvas.All(), canvas.All(), L"img/green.png"));
  bool outside = false;
  EXPECT_EQ(canvas.ChangedInside(canvas.All(), kBackground, &outside), 0);
}

TEST_F(RenderEngineTest, FadeDrawsHalfTransparent) {
  Canvas canvas(8, 8, 0xFF000000);
  ASSERT_TRUE(DrawImageString(canvas.dc(), &manager_, canvas.All(), canvas.All(), L"file='img/white.png' fade='128'"));
  EXPECT_TRUE(Near(canvas.Channel(3, 3, 16), 128)) << canvas.Rgb(3, 3);
  EXPECT_TRUE(Near(canvas.Channel(3, 3, 0), 128));
}

TEST_F(RenderEngineTest, NineGridKeepsCornersUnscaled) {
  Canvas canvas(100, 30);
  ASSERT_TRUE(DrawImageString(canvas.dc(), &manager_, canvas.All(), canvas.All(),
                              L"file='img/grid.png' corner='4,4,4,4'"));
  struct Corner {
    int x0, y0;
    uint32_t rgb;
  } corners[] = {{0, 0, 0xFF0000}, {96, 0, 0x00FF00}, {0, 26, 0x0000FF}, {96, 26, 0xFFFF00}};
  for (const Corner& c : corners)
    for (int y = c.y0; y < c.y0 + 4; ++y)
      for (int x = c.x0; x < c.x0 + 4; ++x) ASSERT_EQ(canvas.Rgb(x, y), c.rgb) << x << "," << y;
  EXPECT_EQ(canvas.Rgb(4, 4), 0x808080u);
  EXPECT_EQ(canvas.Rgb(50, 0), 0x808080u);  // top edge stretched between the corners
  EXPECT_EQ(canvas.Rgb(50, 15), 0x808080u);

  Canvas holed(100, 30);
  ASSERT_TRUE(DrawImageString(holed.dc(), &manager_, holed.All(), holed.All(),
                              L"file='img/grid.png' corner='4,4,4,4' hole='true'"));
  EXPECT_EQ(holed.Rgb(50, 15), kBackground & 0xFFFFFF);
  EXPECT_EQ(holed.Rgb(50, 1), 0x808080u);
}

TEST_F(RenderEngineTest, TiledMiddleRepeatsInsteadOfStretching) {
  Canvas canvas(10, 2);
  ASSERT_TRUE(DrawImageString(canvas.dc(), &manager_, canvas.All(), canvas.All(), L"file='img/stripes.png' xtiled='true'"));
  for (int x : {0, 4, 8}) EXPECT_EQ(canvas.Rgb(x, 1), 0xFF0000u) << x;
  for (int x : {1, 5, 9}) EXPECT_EQ(canvas.Rgb(x, 1), 0x00FF00u) << x;
}

TEST_F(RenderEngineTest, SoftwareBlendMatchesAlphaBlend) {
  const UiImageEntry* image = manager_.ImageByName(L"img/translucent.png");
  ASSERT_NE(image, nullptr);
  ASSERT_TRUE(image->hasAlpha);
  HDC source = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(source, image->bitmap.get());
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 200, AC_SRC_ALPHA};
  Canvas system(8, 8, 0xFF102030), software(8, 8, 0xFF102030);
  ASSERT_TRUE(::AlphaBlend(system.dc(), 0, 0, 8, 8, source, 0, 0, 4, 4, blend));
  ASSERT_TRUE(SoftwareAlphaBlend(software.dc(), 0, 0, 8, 8, source, 0, 0, 4, 4, blend));
  ::SelectObject(source, old);
  ::DeleteDC(source);
  for (int shift : {0, 8, 16}) EXPECT_TRUE(Near(software.Channel(5, 5, shift), system.Channel(5, 5, shift), 2))
      << shift << ": " << software.Rgb(5, 5) << " vs " << system.Rgb(5, 5);
}

TEST(RenderColourTest, GradientFromOpaqueBlackToTransparentWhiteUsesOpacity127) {
  Canvas canvas(4, 64);
  FillGradient(canvas.dc(), canvas.All(), 0xFF000000, 0x00FFFFFF, true, 16);
  // Top: black at 127/255 over blue. Bottom: nearly white at 127/255 over blue.
  EXPECT_TRUE(Near(canvas.Channel(1, 0, 16), 0)) << canvas.Rgb(1, 0);
  EXPECT_TRUE(Near(canvas.Channel(1, 0, 0), 128)) << canvas.Rgb(1, 0);
  EXPECT_TRUE(Near(canvas.Channel(1, 63, 16), 125, 5)) << canvas.Rgb(1, 63);
  EXPECT_TRUE(Near(canvas.Channel(1, 63, 0), 255)) << canvas.Rgb(1, 63);
  EXPECT_LT(canvas.Channel(1, 10, 16), canvas.Channel(1, 50, 16));

  Canvas untouched(4, 4);
  FillGradient(untouched.dc(), untouched.All(), 0x00000000, 0x01FFFFFF, true, 16);  // average alpha 0
  bool outside = false;
  EXPECT_EQ(untouched.ChangedInside(untouched.All(), kBackground, &outside), 0);
}

TEST(RenderColourTest, OpaqueFillCoversExactlyItsRectangle) {
  CPaintManagerUI manager;  // GDI+ running
  Canvas canvas(20, 20);
  RECT paint = {3, 4, 13, 9};
  FillColor(canvas.dc(), paint, 0xFF00FF00);
  bool outside = false;
  EXPECT_EQ(canvas.ChangedInside(paint, kBackground, &outside), 50);
  EXPECT_FALSE(outside);
  EXPECT_EQ(canvas.Rgb(3, 4), 0x00FF00u);
  EXPECT_EQ(canvas.Rgb(12, 8), 0x00FF00u);

  Canvas black(4, 4, 0xFF000000);
  FillColor(black.dc(), black.All(), 0x80FF0000);  // partial alpha blends
  EXPECT_TRUE(Near(black.Channel(1, 1, 16), 128)) << black.Rgb(1, 1);
}

TEST(RenderColourTest, ClipsNarrowAndRestore) {
  CPaintManagerUI manager;
  Canvas canvas(20, 20);
  {
    UiClip clip = ClipToRect(canvas.dc(), RECT{2, 2, 6, 6});
    FillColor(canvas.dc(), canvas.All(), 0xFF00FF00);
  }
  bool outside = false;
  EXPECT_EQ(canvas.ChangedInside(RECT{2, 2, 6, 6}, kBackground, &outside), 16);
  EXPECT_FALSE(outside);
  {
    UiClip clip = ClipToRoundRect(canvas.dc(), canvas.All(), RECT{10, 10, 19, 19}, 8, 8);
    FillColor(canvas.dc(), canvas.All(), 0xFFFF0000);
  }
  EXPECT_EQ(canvas.Rgb(10, 10), kBackground & 0xFFFFFF);  // rounded corner stays out
  EXPECT_EQ(canvas.Rgb(14, 14), 0xFF0000u);
  FillColor(canvas.dc(), canvas.All(), 0xFFFFFFFF);  // no clip any more
  EXPECT_EQ(canvas.Rgb(0, 0), 0xFFFFFFu);
}

TEST(RenderColourTest, LinesAndFrames) {
  CPaintManagerUI manager;
  Canvas canvas(20, 20);
  DrawFrame(canvas.dc(), RECT{2, 2, 12, 12}, 1, 0xFFFFFFFF);
  EXPECT_EQ(canvas.Rgb(2, 2), 0xFFFFFFu);
  EXPECT_EQ(canvas.Rgb(11, 11), 0xFFFFFFu);
  EXPECT_EQ(canvas.Rgb(12, 12), kBackground & 0xFFFFFF);
  EXPECT_EQ(canvas.Rgb(6, 6), kBackground & 0xFFFFFF);
  DrawLineSegment(canvas.dc(), RECT{0, 15, 19, 15}, 1, 0x80FF0000);  // alpha ignored
  EXPECT_EQ(canvas.Rgb(10, 15), 0xFF0000u);
  DrawRoundFrame(canvas.dc(), RECT{14, 0, 20, 6}, 1, 2, 2, 0xFF00FF00);
  EXPECT_EQ(canvas.Rgb(17, 0), 0x00FF00u);
  EXPECT_EQ(canvas.Rgb(17, 3), kBackground & 0xFFFFFF);  // no fill
}

TEST(RenderColourTest, AdjustColorShiftsHueAndKeepsAlpha) {
  EXPECT_EQ(AdjustColor(0x7F123456, 180, 100, 100), 0x7F123456u);
  EXPECT_EQ(AdjustColor(0x80FF0000, 300, 100, 100), 0x8000FF00u);
  EXPECT_EQ(AdjustColor(0xFFFF0000, 180, 0, 100), 0xFF808080u);
}

class RenderTextTest : public ::testing::TestWithParam<bool> {};

// Red text on white, through GDI and through GDI+: it lands inside its rectangle, in its colour.
TEST_P(RenderTextTest, TextLandsInsideItsRectangleInItsColour) {
  CPaintManagerUI manager;
  manager.SetUseGdiplusText(GetParam());
  manager.AddFontEntry(1, L"Arial", 16, true, false, false, false);
  Canvas canvas(120, 50, 0xFFFFFFFF);
  RECT box = {10, 10, 110, 40};
  RECT rect = box;
  DrawPlainText(canvas.dc(), &manager, rect, L"Install Hxg", 0xFFFF0000, 1, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  bool outside = false;
  EXPECT_GT(canvas.ChangedInside(box, 0xFFFFFFFF, &outside), 40);
  EXPECT_FALSE(outside);
  int red = 0;
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x)
      if (canvas.Channel(x, y, 16) > 200 && canvas.Channel(x, y, 8) < 60 && canvas.Channel(x, y, 0) < 60) ++red;
  EXPECT_GT(red, 20);

  // "&#x" draws just the character of that code.
  Canvas glyph(40, 40, 0xFFFFFFFF), plain(40, 40, 0xFFFFFFFF);
  RECT a = {0, 0, 40, 40}, b = a;
  DrawPlainText(glyph.dc(), &manager, a, L"&#x41;", 0xFF000000, 1, DT_SINGLELINE);
  DrawPlainText(plain.dc(), &manager, b, L"A", 0xFF000000, 1, DT_SINGLELINE);
  int differing = 0, inked = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      differing += glyph.Rgb(x, y) != plain.Rgb(x, y);
      inked += plain.Rgb(x, y) != 0xFFFFFF;
    }
  EXPECT_GT(inked, 10);
  EXPECT_EQ(differing, 0);
}

INSTANTIATE_TEST_SUITE_P(GdiAndGdiplus, RenderTextTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Gdiplus" : "Gdi"; });

TEST(RenderMarkedTextTest, TagsStyleTheTextAndLinksAreReported) {
  CPaintManagerUI manager;
  Canvas canvas(300, 40, 0xFFFFFFFF);
  RECT rect = {5, 5, 295, 35};
  RECT links[4];
  UiString linkTexts[4];
  int linkCount = 4;
  DrawMarkedText(canvas.dc(), &manager, rect, L"<b>Bold</b> {c #00C000}green{/c} <a http://x>link</a> <{>",
                 0xFF000000, links, linkTexts, linkCount, -1, DT_SINGLELINE);
  ASSERT_EQ(linkCount, 1);
  EXPECT_STREQ(linkTexts[0], L"http://x");
  EXPECT_GE(links[0].left, rect.left);
  EXPECT_LE(links[0].right, rect.right);
  EXPECT_GT(links[0].right, links[0].left);
  int green = 0, blue = 0;
  for (int y = 5; y < 35; ++y)
    for (int x = 5; x < 295; ++x) {
      uint32_t c = canvas.Rgb(x, y);
      green += c == 0x00C000;
      blue += (x >= links[0].left && x < links[0].right) && c == 0x0000FF;  // default link colour
    }
  EXPECT_GT(green, 5);
  EXPECT_GT(blue, 5);

  RECT measure = {0, 0, 1000, 100};
  int none = 0;
  DrawMarkedText(canvas.dc(), &manager, measure, L"two<n>lines", 0xFF000000, nullptr, nullptr, none, -1, DT_CALCRECT);
  RECT oneLine = {0, 0, 1000, 100};
  DrawMarkedText(canvas.dc(), &manager, oneLine, L"twolines", 0xFF000000, nullptr, nullptr, none, -1, DT_CALCRECT);
  EXPECT_GT(measure.bottom, oneLine.bottom);
  EXPECT_LT(measure.right, oneLine.right);
}

}  // namespace
}  // namespace MarkupUI
