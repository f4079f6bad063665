#include "uitoolkit/paint_manager.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "uitoolkit/skin_source.h"
#include "uitoolkit/testing/skin_fixtures.h"

namespace MarkupUI {
namespace {

using testing::BuildZip;
using testing::EncodePng;
using testing::RgbaImage;

void ForgetPackage() {
  SkinSourceState& state = SkinSources();
  state.package.reset();
  state.packageCached = false;
  state.packageName.Empty();
  state.resourceFolder.Empty();
}

class PaintManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ForgetPackage();
    RgbaImage opaque(3, 2, 0xFF204060);
    opaque.Set(0, 1, 0xFFFF00FF);
    RgbaImage translucent(1, 1, 0x80C86432);
    zip_ = BuildZip({{"img/", ""},
                     {"img/opaque.png", EncodePng(opaque), true},
                     {"img/translucent.png", EncodePng(translucent)},
                     {"img/broken.png", "not a picture"}});
    ASSERT_TRUE(CPaintManagerUI::UseMemoryPackage(zip_.data(), zip_.size()));
  }
  void TearDown() override { ForgetPackage(); }
  std::vector<uint8_t> zip_;
};

TEST_F(PaintManagerTest, ImagesComeFromTheMemoryPackageOnceAndArePremultiplied) {
  CPaintManagerUI manager;
  const UiImageEntry* image = manager.ImageByName(L"img\\OPAQUE.png");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 3);
  EXPECT_EQ(image->height, 2);
  EXPECT_FALSE(image->hasAlpha);
  EXPECT_EQ(image->pixels[0], 0xFF204060u);  // top-down rows, BGRA in memory
  EXPECT_EQ(image->pixels[3], 0xFFFF00FFu);
  EXPECT_EQ(manager.ImageByName(L"img\\OPAQUE.png"), image);  // cached by name

  const UiImageEntry* translucent = manager.ImageByName(L"img/translucent.png");
  ASSERT_NE(translucent, nullptr);
  EXPECT_TRUE(translucent->hasAlpha);
  EXPECT_EQ(translucent->pixels[0], 0x80643219u);

  const UiImageEntry* masked = manager.ImageByName(L"img/opaque.png", nullptr, 0xFFFF00FF);
  ASSERT_NE(masked, nullptr);
  EXPECT_TRUE(masked->hasAlpha);
  EXPECT_EQ(masked->pixels[3], 0u);
  EXPECT_EQ(masked->maskColor, 0xFFFF00FFu);

  EXPECT_EQ(manager.ImageByName(L"img/missing.png"), nullptr);
  EXPECT_EQ(manager.ImageByName(L"img/broken.png"), nullptr);
  EXPECT_EQ(manager.ImageByName(L""), nullptr);
  EXPECT_EQ(manager.ImageByName(L"img/opaque.png", L"PNG"), masked);  // the name is the cache key
  EXPECT_EQ(manager.ImageByName(L"opaque", L"PNG"), nullptr);          // resource names must be ids
  manager.RemoveImage(L"img\\OPAQUE.png");
  EXPECT_NE(manager.ImageByName(L"img\\OPAQUE.png"), nullptr);
}

TEST_F(PaintManagerTest, ASecondMemoryPackageIsIgnored) {
  std::vector<uint8_t> other = BuildZip({{"other.png", EncodePng(RgbaImage(1, 1))}});
  EXPECT_TRUE(CPaintManagerUI::UseMemoryPackage(other.data(), other.size()));
  EXPECT_STREQ(CPaintManagerUI::PackageName(), L"membuffer");
  CPaintManagerUI manager;
  EXPECT_NE(manager.ImageByName(L"img/opaque.png"), nullptr);
  EXPECT_EQ(manager.ImageByName(L"other.png"), nullptr);
}

TEST_F(PaintManagerTest, ImagesFallBackToTheResourceFolderAndToPaths) {
  ForgetPackage();
  std::wstring path = testing::WriteTempFile("image", EncodePng(RgbaImage(2, 2)));
  std::filesystem::path file(path);
  CPaintManagerUI::SetResourceFolder(file.parent_path().wstring().c_str());
  CPaintManagerUI manager;
  EXPECT_NE(manager.ImageByName(file.filename().wstring().c_str()), nullptr);
  CPaintManagerUI::SetResourceFolder(L"C:\\no\\such\\folder");
  EXPECT_NE(manager.ImageByName(path.c_str()), nullptr);  // the name itself as a path
}

TEST(PaintManagerStateTest, ResourceFolderGetsATrailingBackslash) {
  struct Case {
    const wchar_t* given;
    const wchar_t* kept;
  } cases[] = {{L"C:\\skin", L"C:\\skin\\"}, {L"C:\\skin\\", L"C:\\skin\\"}, {L"C:/skin/", L"C:/skin/"}, {L"", L""}};
  for (const Case& c : cases) {
    CPaintManagerUI::SetResourceFolder(c.given);
    EXPECT_STREQ(CPaintManagerUI::ResourceFolder(), c.kept);
  }
  ForgetPackage();
}

TEST(PaintManagerStateTest, PackageFileIsOpenedAndHeld) {
  ForgetPackage();
  std::vector<uint8_t> zip = BuildZip({{"a.png", EncodePng(RgbaImage(1, 1))}});
  std::filesystem::path file(testing::WriteTempFile("skin", std::string(zip.begin(), zip.end())));
  CPaintManagerUI::SetResourceFolder(file.parent_path().wstring().c_str());
  EXPECT_TRUE(CPaintManagerUI::UsePackageFile(file.filename().wstring().c_str()));
  EXPECT_TRUE(CPaintManagerUI::IsPackageCached());
  CPaintManagerUI manager;
  EXPECT_NE(manager.ImageByName(L"a.png"), nullptr);
  EXPECT_FALSE(CPaintManagerUI::UsePackageFile(L"missing.zip"));
  EXPECT_FALSE(CPaintManagerUI::IsPackageCached());
  ForgetPackage();
}

TEST(PaintManagerStateTest, DrawSpecsAreParsedOncePerText) {
  CPaintManagerUI manager;
  const ImageDrawSpec* spec = manager.DrawSpecFor(L"file='img/x.png' fade='9'", nullptr);
  ASSERT_NE(spec, nullptr);
  EXPECT_EQ(spec->fade, 9);
  EXPECT_EQ(manager.DrawSpecFor(L"file='img/x.png' fade='9'", nullptr), spec);
  const ImageDrawSpec* modified = manager.DrawSpecFor(L"file='img/x.png' fade='9'", L"fade='10'");
  EXPECT_NE(modified, spec);
  EXPECT_EQ(modified->fade, 10);
  EXPECT_EQ(manager.DrawSpecFor(L"", nullptr), nullptr);
}

TEST(PaintManagerStateTest, FontsByIdFallBackToTheDefaults) {
  CPaintManagerUI manager, other;
  UiFontEntry* shared = manager.FontById(-1);
  ASSERT_NE(shared, nullptr);
  EXPECT_TRUE(shared->font);
  EXPECT_EQ(manager.FontById(7), shared);  // unknown id

  ASSERT_NE(manager.AddFontEntry(1, L"Arial", 16, true, false, false, false), nullptr);
  UiFontEntry* arial = manager.FontById(1);
  EXPECT_STREQ(arial->faceName, L"Arial");
  EXPECT_TRUE(arial->bold);
  EXPECT_EQ(manager.FindFont(L"Arial", 16, true, false, false), arial);
  EXPECT_EQ(manager.FontEntryOf(arial->font.get()), arial);
  EXPECT_GT(manager.FontMetrics(arial).tmHeight, 10);
  EXPECT_EQ(other.FontById(1), other.FontById(-1));  // not shared

  manager.AddFontEntry(2, L"Arial", 12, false, false, false, true);
  EXPECT_STREQ(other.FontById(2)->faceName, L"Arial");  // shared
  manager.SetDefaultFontEntry(L"Arial", 14, false, false, false, false);
  EXPECT_EQ(manager.FontById(9)->size, 14);
  EXPECT_EQ(other.FontById(9), shared);
  CPaintManagerUI::SharedResources().RemoveAllFonts();
}

TEST(PaintManagerStateTest, StylesKeepTheFirstDefaultAttributesTheLast) {
  CPaintManagerUI manager;
  manager.DefineStyle(L"bottom_container", L"padding=\"0,195,0,0\"", false);
  manager.DefineStyle(L"bottom_container", L"padding=\"1,1,1,1\"", false);
  EXPECT_STREQ(manager.StyleFor(L"bottom_container"), L"padding=\"0,195,0,0\"");
  manager.SetDefaultAttributes(L"Button", L"a=\"1\"", true);
  manager.SetDefaultAttributes(L"Button", L"a=\"2\"", true);
  CPaintManagerUI other;
  EXPECT_STREQ(other.DefaultAttributesFor(L"Button"), L"a=\"2\"");
  EXPECT_EQ(other.StyleFor(L"bottom_container"), nullptr);
  CPaintManagerUI::SharedResources().RemoveAllDefaultAttributes();
}

TEST(PaintManagerStateTest, FontFilesAreRegisteredOrLeaveAnEmptyHandle) {
  ForgetPackage();
  CPaintManagerUI manager;
  manager.AddFontFile(L"no_such_font.ttf");
  EXPECT_EQ(manager.FontMemoryHandleCount(), 1);
  const wchar_t* liberation = L"Z:\\usr\\share\\fonts\\truetype\\liberation\\LiberationSans-Regular.ttf";
  if (::GetFileAttributesW(liberation) != INVALID_FILE_ATTRIBUTES) {
    manager.AddFontFile(liberation);
    EXPECT_EQ(manager.FontMemoryHandleCount(), 2);
  }
}

}  // namespace
}  // namespace MarkupUI
