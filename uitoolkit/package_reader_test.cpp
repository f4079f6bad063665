#include "uitoolkit/package_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "uitoolkit/testing/skin_fixtures.h"

namespace MarkupUI {
namespace {

using testing::BuildZip;

std::string Extract(UiPackage* package, const wchar_t* name, uint32_t* code = nullptr) {
  PackageEntryInfo info;
  if (FindPackageEntry(package, name, &info) != kPackageOk) return "<not found>";
  std::string out(info.uncompressedSize, '\0');
  uint32_t result = ExtractPackageEntry(package, info.index, out.empty() ? nullptr : &out[0], info.uncompressedSize);
  if (code) *code = result;
  return result == kPackageOk ? out : "<code " + std::to_string(result) + ">";
}

const std::string kLong = [] {
  std::string s;
  for (int i = 0; i < 20000; ++i) s += "line " + std::to_string(i % 97) + "\n";
  return s;
}();

const std::vector<testing::ZipFixtureEntry> kSkin = {
    {"img/", ""},
    {"img/bkg/bkg1.png", "stored picture bytes"},
    {"orvixdownloader.xml", kLong, true},
    {"locale/en.xml", "<Locale/>", true},
    {"empty.txt", ""},
    {"locked.bin", "secret", false, true},
};

TEST(PackageReaderTest, StoredDeflatedAndFolderEntriesFromMemory) {
  std::vector<uint8_t> zip = BuildZip(kSkin);
  ScopedPackage package(OpenPackageMemory(zip.data(), zip.size(), nullptr));
  ASSERT_TRUE(package);
  EXPECT_EQ(PackageEntryCount(package.get()), 6);
  EXPECT_EQ(Extract(package.get(), L"img/bkg/bkg1.png"), "stored picture bytes");
  EXPECT_EQ(Extract(package.get(), L"orvixdownloader.xml"), kLong);
  EXPECT_EQ(Extract(package.get(), L"empty.txt"), "");

  PackageEntryInfo info;
  ASSERT_EQ(FindPackageEntry(package.get(), L"img/", &info), kPackageOk);
  EXPECT_EQ(info.index, 0);
  EXPECT_TRUE(info.attributes & kEntryDirectory);
  ASSERT_EQ(FindPackageEntry(package.get(), L"orvixdownloader.xml", &info), kPackageOk);
  EXPECT_EQ(info.method, 8);
  EXPECT_EQ(info.uncompressedSize, kLong.size());
  EXPECT_LT(info.compressedSize, info.uncompressedSize);
  EXPECT_FALSE(info.attributes & kEntryDirectory);
  // 2024-05-17 12:30:10 as a FILETIME.
  EXPECT_EQ(info.modificationTime, 133604226100000000ull);
  EXPECT_EQ(info.accessTime, info.modificationTime);
}

TEST(PackageReaderTest, PackageFileReadsLikeMemory) {
  std::vector<uint8_t> zip = BuildZip(kSkin);
  std::wstring path = testing::WriteTempFile("package", std::string(zip.begin(), zip.end()));
  ScopedPackage package(OpenPackageFile(path.c_str(), nullptr));
  ASSERT_TRUE(package);
  EXPECT_EQ(Extract(package.get(), L"orvixdownloader.xml"), kLong);
  EXPECT_EQ(Extract(package.get(), L"img/bkg/bkg1.png"), "stored picture bytes");

  EXPECT_EQ(OpenPackageFile(L"/no/such/package.zip", nullptr), nullptr);
  EXPECT_EQ(LastPackageResult(), kPackageNoArchive);
}

TEST(PackageReaderTest, LookupFoldsLettersOnly) {
  std::vector<uint8_t> zip = BuildZip({{"img/x-normal.png", "x"}, {"img/\xC3\xA9t\xC3\xA9.png", "e"}});
  ScopedPackage package(OpenPackageMemory(zip.data(), zip.size(), nullptr));
  ASSERT_TRUE(package);
  EXPECT_EQ(Extract(package.get(), L"IMG/X-NORMAL.PNG"), "x");
  EXPECT_EQ(Extract(package.get(), L"img/\u00E9t\u00E9.png"), "e");
  EXPECT_EQ(Extract(package.get(), L"img/\u00C9t\u00E9.png"), "<not found>");  // only a-z fold
  EXPECT_EQ(Extract(package.get(), L"img\\x-normal.png"), "<not found>");     // callers turn "\" into "/"
  PackageEntryInfo info;
  EXPECT_EQ(FindPackageEntry(package.get(), std::wstring(300, L'a').c_str(), &info), kPackageNotFound);
  EXPECT_EQ(info.index, -1);
}

TEST(PackageReaderTest, EntryNamesAreReportedSafe) {
  struct Case {
    const wchar_t* stored;
    const wchar_t* reported;
  } cases[] = {
      {L"c:\\skin\\a.png", L"skin\\a.png"}, {L"/etc/passwd", L"etc/passwd"},
      {L"img/../../x.png", L"x.png"},       {L"a\\..\\b/../c.xml", L"c.xml"},
      {L"../up.png", L"up.png"},             {L"d:/..\\e:/f", L"f"},
      {L"plain/name.xml", L"plain/name.xml"},
  };
  for (const Case& c : cases) EXPECT_EQ(SafeEntryName(c.stored), c.reported) << c.stored;

  std::vector<uint8_t> zip = BuildZip({{"C:/windows/../../evil.dll", "x"}});
  ScopedPackage package(OpenPackageMemory(zip.data(), zip.size(), nullptr));
  PackageEntryInfo info;
  ASSERT_EQ(PackageEntryAt(package.get(), 0, &info), kPackageOk);
  EXPECT_EQ(info.name, L"evil.dll");
}

TEST(PackageReaderTest, EncryptedEntryNeedsAPassword) {
  std::vector<uint8_t> zip = BuildZip(kSkin);
  ScopedPackage package(OpenPackageMemory(zip.data(), zip.size(), nullptr));
  uint32_t code = 0;
  Extract(package.get(), L"locked.bin", &code);
  EXPECT_EQ(code, kPackagePassword);
  EXPECT_EQ(LastPackageResult(), kPackagePassword);
}

TEST(PackageReaderTest, PartialExtractionReportsMoreData) {
  std::vector<uint8_t> zip = BuildZip(kSkin);
  ScopedPackage package(OpenPackageMemory(zip.data(), zip.size(), nullptr));
  for (const wchar_t* name : {L"orvixdownloader.xml", L"img/bkg/bkg1.png"}) {
    PackageEntryInfo info;
    ASSERT_EQ(FindPackageEntry(package.get(), name, &info), kPackageOk);
    std::string part(10, '\0');
    EXPECT_EQ(ExtractPackageEntry(package.get(), info.index, &part[0], 10), kPackageMore) << name;
    std::string whole(info.uncompressedSize, '\0');
    EXPECT_EQ(ExtractPackageEntry(package.get(), info.index, &whole[0], info.uncompressedSize), kPackageOk);
    EXPECT_EQ(part, whole.substr(0, 10));
  }
}

TEST(PackageReaderTest, ArgumentsAndHandlesAreChecked) {
  std::vector<uint8_t> zip = BuildZip(kSkin);
  ScopedPackage package(OpenPackageMemory(zip.data(), zip.size(), nullptr));
  char buffer[4];
  EXPECT_EQ(ExtractPackageEntry(nullptr, 0, buffer, 4), kPackageInvalidArgument);
  EXPECT_EQ(ExtractPackageEntry(package.get(), 6, buffer, 4), kPackageInvalidArgument);
  EXPECT_EQ(ExtractPackageEntry(package.get(), -1, buffer, 4), kPackageInvalidArgument);
  EXPECT_EQ(ClosePackage(nullptr), kPackageInvalidArgument);
  uint32_t notAPackage[8] = {7};
  EXPECT_EQ(ClosePackage(reinterpret_cast<UiPackage*>(notAPackage)), kPackageBadHandle);
}

// Archives whose structure lies: every one gives a result code, none reads outside the source.
TEST(PackageReaderTest, TruncatedOrCorruptedArchivesGiveResultCodes) {
  const std::vector<uint8_t> good = BuildZip(kSkin);
  auto open = [](const std::vector<uint8_t>& bytes) {
    return ScopedPackage(OpenPackageMemory(bytes.data(), bytes.size(), nullptr));
  };
  auto endRecord = [](const std::vector<uint8_t>& z) { return z.size() - 22; };
  auto put32 = [](std::vector<uint8_t>& z, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) z[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };

  EXPECT_FALSE(open({}));
  EXPECT_FALSE(open(std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2)));
  EXPECT_FALSE(open(std::vector<uint8_t>(good.begin(), good.end() - 1)));
  EXPECT_EQ(LastPackageResult(), kPackageNoArchive);

  std::vector<uint8_t> z = good;
  put32(z, endRecord(z) + 16, 0xFFFFFF00);  // directory offset beyond the source
  EXPECT_FALSE(open(z));
  z = good;
  put32(z, endRecord(z) + 12, 0x7FFFFFFF);  // directory size beyond the source
  EXPECT_FALSE(open(z));
  z = good;
  z[endRecord(z) + 10] = 0xFF;  // more entries than the directory holds
  z[endRecord(z) + 8] = 0xFF;
  EXPECT_FALSE(open(z));

  // Directory fine, entry data lying: local offset, compressed size, CRC, method.
  const size_t end = good.size() - 22;
  size_t xmlHeader = good[end + 16] | (good[end + 17] << 8);
  for (int i = 0; i < 2; ++i)  // skip "img/" and the stored picture
    xmlHeader += 46 + (good[xmlHeader + 28] | (good[xmlHeader + 29] << 8));
  struct Lie {
    size_t field;
    uint32_t value;
    int width;
  } lies[] = {{42, 0xFFFFFFF0, 4}, {20, 0x7FFFFFFF, 4}, {16, 0x12345678, 4}, {10, 9, 2}};
  for (const Lie& lie : lies) {
    z = good;
    for (int i = 0; i < lie.width; ++i) z[xmlHeader + lie.field + i] = static_cast<uint8_t>(lie.value >> (8 * i));
    ScopedPackage p = open(z);
    ASSERT_TRUE(p);
    uint32_t code = 0;
    Extract(p.get(), L"orvixdownloader.xml", &code);
    EXPECT_EQ(code, kPackageCorrupt) << "field at " << lie.field;
  }
  // A damaged deflate stream.
  z = good;
  size_t local = good[xmlHeader + 42] | (good[xmlHeader + 43] << 8);
  for (size_t i = 0; i < 40; ++i) z[local + 30 + 19 + 10 + i] ^= 0x5A;
  ScopedPackage damaged = open(z);
  uint32_t code = 0;
  Extract(damaged.get(), L"orvixdownloader.xml", &code);
  EXPECT_EQ(code, kPackageCorrupt);
}

}  // namespace
}  // namespace MarkupUI
