// The catalogue writer: its output read back by the installer's own catalogue reader, the
// mapping and item arguments, and the checks that keep a broken catalogue from shipping.
#include "tools/catalogue/catalogue_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "digest/md5.h"
#include "foundation/text_convert.h"
#include "foundation/xml_tree.h"
#include "installer/install_engine.h"

namespace {

class PackageFolder {
 public:
  PackageFolder() {
    char pattern[] = "/tmp/orvix-catalogue-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~PackageFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  void Add(const std::string& name, const std::string& bytes) {
    std::ofstream(path_ + "/" + name, std::ios::binary) << bytes;
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

std::wstring W(const std::string& text) { return rezorev::Utf8ToUtf16(text); }

const char kMapping[] = R"({
  "baseUrl": "https://dl.example.com/pkg",
  "common": [
    {"file": "lumaport 1.2&co.exe", "id": 7, "version": "1.2.0", "DL_ID": 31, "localaddpath": "market"},
    {"file": "ui.exe", "id": 1, "installInX64": false}
  ],
  "channels": [
    {"range": "100000-100999, 200001", "items": [{"file": "ui-beta.exe", "id": 1, "name": "ui.exe"}]},
    {"range": "300000-300010", "items": [{"file": "kordin.exe", "id": 2, "writePathToRegKey": "Software\\Own"}]}
  ]
})";

TEST(CatalogueWriterTest, TheInstallersReaderSeesWhatTheFolderHolds) {
  PackageFolder folder;
  folder.Add("lumaport 1.2&co.exe", std::string("launcher\0bytes", 14));
  folder.Add("ui.exe", "ui");
  folder.Add("ui-beta.exe", "ui beta");
  folder.Add("kordin.exe", "");

  CataloguePlan plan;
  std::string error;
  ASSERT_TRUE(ReadCatalogueMapping(kMapping, plan, error)) << error;
  ASSERT_TRUE(CompleteCataloguePlan(plan, error)) << error;
  ASSERT_TRUE(MeasurePackages(folder.Path(), plan, error)) << error;
  const std::string xml = WriteCatalogueXml(plan);

  rezorev::XmlTree tree;
  ASSERT_TRUE(tree.Parse(xml.data(), xml.size())) << xml;
  ChannelParams params;
  params.supplyId_ = 200001;
  CInstallEngine engine(params);
  engine.ParseCatalogueRoot(*tree.Root());

  ASSERT_EQ(engine.CommonItems().size(), 2u);
  const ComponentItem& launcher = engine.CommonItems().at(7);
  EXPECT_EQ(launcher.name_, L"lumaport 1.2&co.exe");
  EXPECT_EQ(launcher.url_, L"https://dl.example.com/pkg/lumaport%201.2%26co.exe");
  EXPECT_EQ(launcher.hash_, Md5Hex("launcher\0bytes", 14));
  EXPECT_EQ(launcher.fileSize_, 14u);
  EXPECT_EQ(launcher.localAddPath_, L"market");
  EXPECT_EQ(launcher.registryKey_, L"Software\\Corvel\\Zentharo\\Lumaport");  // from the component table
  EXPECT_EQ(launcher.version_, L"1.2.0");
  EXPECT_EQ(launcher.downloadId_, 31u);
  EXPECT_TRUE(launcher.installInX86_ && launcher.installInX64_);
  const ComponentItem& ui = engine.CommonItems().at(1);
  EXPECT_EQ(ui.registryKey_, L"Software\\Corvel\\Zentharo\\UI");
  EXPECT_TRUE(ui.installInX86_);
  EXPECT_FALSE(ui.installInX64_);

  // Supply id 200001 is in the first group only; the beta keeps the installer's file name.
  ASSERT_EQ(engine.ChannelItems().size(), 1u);
  const ComponentItem& beta = engine.ChannelItems().at(1);
  EXPECT_EQ(beta.name_, L"ui.exe");
  EXPECT_EQ(beta.url_, L"https://dl.example.com/pkg/ui-beta.exe");
  EXPECT_EQ(beta.hash_, Md5Hex("ui beta", 7));

  params.supplyId_ = 300005;
  CInstallEngine other(params);
  other.ParseCatalogueRoot(*tree.Root());
  ASSERT_EQ(other.ChannelItems().size(), 1u);
  EXPECT_EQ(other.ChannelItems().at(2).registryKey_, L"Software\\Own");
  EXPECT_EQ(other.ChannelItems().at(2).hash_, L"d41d8cd98f00b204e9800998ecf8427e");  // empty package
  EXPECT_EQ(other.ChannelItems().at(2).fileSize_, 0u);
}

TEST(CatalogueWriterTest, MissingPackageFileIsNamed) {
  PackageFolder folder;
  CataloguePlan plan;
  plan.baseUrl_ = "http://dl.example.com/";
  plan.common_.push_back(CataloguePackage{"absent.exe", 7});
  std::string error;
  ASSERT_TRUE(CompleteCataloguePlan(plan, error)) << error;
  EXPECT_FALSE(MeasurePackages(folder.Path(), plan, error));
  EXPECT_NE(error.find("absent.exe"), std::string::npos) << error;
}

TEST(CatalogueWriterTest, ItemArguments) {
  CataloguePackage item;
  std::string error;
  ASSERT_TRUE(ParseCatalogueItemArgument("7=lumaport.exe,localaddpath=market,DL_ID=12,installInX86=0,version=1.2",
                                         item, error))
      << error;
  EXPECT_EQ(item.id_, 7);
  EXPECT_EQ(item.file_, "lumaport.exe");
  EXPECT_EQ(item.localAddPath_, "market");
  EXPECT_EQ(item.downloadId_, 12u);
  EXPECT_FALSE(item.installInX86_);
  EXPECT_EQ(item.version_, "1.2");

  for (const char* bad : {"lumaport.exe", "x=lumaport.exe", "7=", "7=a.exe,colour=red", "7=a.exe,DL_ID=-1",
                          "7=a.exe,installInX86=yes", "7=a.exe,noequals", "7=a.exe,id=3", "99999999999=a.exe"}) {
    SCOPED_TRACE(bad);
    CataloguePackage kept;
    kept.file_ = "kept";
    EXPECT_FALSE(ParseCatalogueItemArgument(bad, kept, error));
    EXPECT_EQ(kept.file_, "kept");
    EXPECT_FALSE(error.empty());
  }
}

TEST(CatalogueWriterTest, MappingErrorsAreRefused) {
  const char* bad[] = {
      "not json",
      "[]",
      R"({"common": [{"file": "a.exe"}]})",                       // no id
      R"({"common": [{"id": 7}]})",                               // no file
      R"({"common": [{"file": "a.exe", "id": "7"}]})",            // id as text
      R"({"common": [{"file": "a.exe", "id": 7, "hash": "x"}]})", // digests are measured, not given
      R"({"channels": [{"range": "1-2"}]})",
      R"({"channels": [{"range": "1-2", "items": [], "extra": 1}]})",
      R"({"baseurl": "http://x/"})",
  };
  for (const char* json : bad) {
    SCOPED_TRACE(json);
    CataloguePlan plan;
    std::string error;
    EXPECT_FALSE(ReadCatalogueMapping(json, plan, error));
    EXPECT_FALSE(error.empty());
  }
}

TEST(CatalogueWriterTest, ChecksWhatTheInstallerWouldTripOver) {
  struct Case {
    const char* what;
    const char* mapping;
    bool ok;
  };
  const Case cases[] = {
      {"fine", R"({"baseUrl": "http://h/p", "common": [{"file": "a", "id": 7}]})", true},
      {"range list", R"({"baseUrl": "http://h/", "channels": [{"range": "1-5,7 9-9", "items": []}]})", true},
      {"upper-case scheme", R"({"baseUrl": "HTTP://h/", "common": [{"file": "a", "id": 7}]})", false},
      {"no scheme", R"({"baseUrl": "h/p", "common": [{"file": "a", "id": 7}]})", false},
      {"no base URL", R"({"common": [{"file": "a", "id": 7}]})", false},
      {"nothing to list", R"({"baseUrl": "http://h/"})", false},
      {"id twice", R"({"baseUrl": "http://h/", "common": [{"file": "a", "id": 7}, {"file": "b", "id": 7}]})", false},
      {"unknown id without key", R"({"baseUrl": "http://h/", "common": [{"file": "a", "id": 4}]})", false},
      {"unknown id with key",
       R"({"baseUrl": "http://h/", "common": [{"file": "a", "id": 4, "writePathToRegKey": "Software\\X"}]})", true},
      {"file in a folder", R"({"baseUrl": "http://h/", "common": [{"file": "sub/a", "id": 7}]})", false},
      {"name with folder", R"({"baseUrl": "http://h/", "common": [{"file": "a", "id": 7, "name": "..\\a"}]})", false},
      {"reversed range", R"({"baseUrl": "http://h/", "channels": [{"range": "9-1", "items": []}]})", false},
      {"empty range", R"({"baseUrl": "http://h/", "channels": [{"range": " , ", "items": []}]})", false},
      {"word in range", R"({"baseUrl": "http://h/", "channels": [{"range": "all", "items": []}]})", false},
      {"huge range", R"({"baseUrl": "http://h/", "channels": [{"range": "99999999999999999999", "items": []}]})",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CataloguePlan plan;
    std::string error;
    ASSERT_TRUE(ReadCatalogueMapping(c.mapping, plan, error)) << error;
    EXPECT_EQ(CompleteCataloguePlan(plan, error), c.ok) << error;
  }
}

TEST(CatalogueWriterTest, PackageUrlEncodesTheFileName) {
  EXPECT_EQ(PackageUrl("http://h/p", "a b.exe"), "http://h/p/a%20b.exe");
  EXPECT_EQ(PackageUrl("http://h/p/", "x?y#z.exe"), "http://h/p/x%3Fy%23z.exe");
  EXPECT_EQ(PackageUrl("http://h/", "\xc3\xa9.exe"), "http://h/%C3%A9.exe");
}

}  // namespace
