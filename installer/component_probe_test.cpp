// Installed-state probe against real registry keys and folders of the test prefix, and the
// catalogue file loader.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "foundation/system_utils.h"
#include "installer/install_engine.h"
#include "registry/registry_key.h"

namespace {

const wchar_t kLauncherKey[] = L"Software\\Corvel\\Zentharo\\Lumaport";
const wchar_t kKordinKey[] = L"Software\\AndroidKordin";

std::wstring TempFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring folder = std::wstring(temp) + name;
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void Touch(const std::wstring& path) { std::ofstream(path.c_str()) << "x"; }

void WriteComponentKey(const wchar_t* key, const std::wstring& installPath, const wchar_t* version) {
  rezorev::RegistryKey k;
  ASSERT_EQ(k.Create(HKEY_LOCAL_MACHINE, key, nullptr), ERROR_SUCCESS);
  ASSERT_EQ(k.WriteString(L"InstallPath", installPath.c_str()), ERROR_SUCCESS);
  if (version) ASSERT_EQ(k.WriteString(L"Version", version), ERROR_SUCCESS);
}

class ProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TempFolder(L"probe_test");
    Cleanup();
  }
  void TearDown() override {
    Cleanup();
    std::vector<std::wstring> failed;
    rezorev::RemoveFolderTree(folder_, failed);
  }
  static void Cleanup() {
    rezorev::RegistryKey software;
    if (software.Open(HKEY_LOCAL_MACHINE, L"Software", KEY_READ | KEY_WRITE) == ERROR_SUCCESS) {
      software.DeleteTree(L"Corvel");
      software.DeleteTree(L"AndroidKordin");
    }
  }
  std::wstring folder_;
};

}  // namespace

TEST_F(ProbeTest, KeyFilesDecideAndTrailingBackslashDoesNotMatter) {
  Touch(folder_ + L"\\Lumaport.exe");
  WriteComponentKey(kLauncherKey, folder_, L"3.1");
  ChannelParams params;
  {
    CInstallEngine engine(params);
    ComponentLocalInfo info;
    engine.ProbeInstalledComponent(7, info);
    EXPECT_FALSE(info.installed_) << "GF.dll is missing";
    EXPECT_TRUE(info.installPath_.empty());
  }
  Touch(folder_ + L"\\GF.dll");
  for (const std::wstring& path : {folder_, folder_ + L"\\"}) {
    WriteComponentKey(kLauncherKey, path, L"3.1");
    CInstallEngine engine(params);
    engine.GetNeedInstallComponentLocalInfo();
    ASSERT_EQ(engine.LocalInfo().size(), 1u);  // only the launcher is enabled by default
    const ComponentLocalInfo& info = engine.LocalInfo().at(7);
    EXPECT_TRUE(info.installed_);
    EXPECT_EQ(info.installPath_, path);  // kept as read
    EXPECT_EQ(info.version_, L"3.1");
    EXPECT_TRUE(engine.AllComponentsInstalled());
  }
}

TEST_F(ProbeTest, MissingVersionOrKeyMeansNotInstalled) {
  Touch(folder_ + L"\\Sollvane.exe");
  Touch(folder_ + L"\\KordinSVC.exe");
  WriteComponentKey(kKordinKey, folder_, nullptr);
  ChannelParams params;
  params.installKordin_ = true;
  CInstallEngine engine(params);
  engine.GetNeedInstallComponentLocalInfo();
  ASSERT_EQ(engine.LocalInfo().size(), 2u);
  EXPECT_FALSE(engine.LocalInfo().at(2).installed_);  // no Version
  EXPECT_FALSE(engine.LocalInfo().at(7).installed_);  // no key at all
  EXPECT_FALSE(engine.AllComponentsInstalled());
}

TEST(CatalogueFile, ResultCodes) {
  std::wstring folder = TempFolder(L"catalogue_file_test");
  std::wstring good = folder + L"\\good.xml", bad = folder + L"\\bad.xml";
  std::ofstream(good.c_str()) << "<r><Item id=\"7\" DL_ID=\"1\" filesize=\"2\" name=\"a.exe\"/></r>";
  std::ofstream(bad.c_str()) << "<r><Item id=\"7\"></r>";
  struct Case {
    std::wstring path;
    bool ok;
    int code;
  } cases[] = {{L"", false, 1}, {folder + L"\\missing.xml", false, 3}, {bad, false, 3}, {good, true, 0}};
  for (const Case& c : cases) {
    ChannelParams params;
    CInstallEngine engine(params);
    EXPECT_EQ(engine.ParseComponentXml(c.path), c.ok);
    EXPECT_EQ(engine.ResultCode(), c.code);
  }
  std::vector<std::wstring> failed;
  rezorev::RemoveFolderTree(folder, failed);
}
