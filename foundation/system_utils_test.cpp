#include "foundation/system_utils.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/scoped_handle.h"
#include "foundation/system_utils_test_folder.h"

namespace rezorev {
namespace {

std::wstring Helper() { return ProgramDirectory() + L"\\system_utils_test_helper.exe"; }

std::string ReadAll(const std::wstring& file) {
  std::ifstream in(std::filesystem::path(file), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Under Wine: the Unix form of a Windows path; empty elsewhere.
std::wstring UnixPath(const std::wstring& path) {
  using UnixFileName = char*(CDECL*)(const wchar_t*);
  auto toUnix = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* unixPath = toUnix != nullptr ? toUnix(path.c_str()) : nullptr;
  if (unixPath == nullptr) return std::wstring();
  std::wstring result(unixPath, unixPath + std::strlen(unixPath));
  ::HeapFree(::GetProcessHeap(), 0, unixPath);
  return result;
}

// Under Wine: starts a Unix program. It cannot be waited for; callers poll for its effect.
bool StartUnixProgram(const wchar_t* program, std::wstring commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

TEST(SystemUtilsTest, ProgramPathsNameThisTest) {
  EXPECT_EQ(ProgramFileName(), L"system_utils_test.exe");
  const std::wstring folder = ProgramDirectory();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), L'\\');
  EXPECT_TRUE(FileExists(folder + L"\\" + ProgramFileName()));

  const std::wstring localAppData = LocalAppDataFolder();
  EXPECT_FALSE(localAppData.empty());
  EXPECT_TRUE(FileExists(localAppData));
}

TEST(SystemUtilsTest, FilePrimitives) {
  TestFolder folder;
  const std::wstring deep = folder / L"Temp\\Quilldrop\\Component\\";
  EXPECT_FALSE(FileExists(deep));
  EnsureFolder(deep);
  EXPECT_TRUE(FileExists(deep));
  EnsureFolder(deep);  // existing: nothing happens
  EXPECT_TRUE(FileExists(deep));

  const std::wstring from = folder.Write(L"a.exe", "package");
  const std::wstring to = folder.Write(L"b.exe", "other");
  EXPECT_FALSE(MoveFileTo(from, to)) << "moved over an existing file";
  EXPECT_EQ(ReadAll(to), "other");
  EXPECT_TRUE(RemoveFile(to));
  EXPECT_FALSE(FileExists(to));
  EXPECT_FALSE(RemoveFile(to));
  EXPECT_TRUE(MoveFileTo(from, to));
  EXPECT_FALSE(FileExists(from));
  EXPECT_EQ(ReadAll(to), "package");
}

TEST(SystemUtilsTest, RemoveFolderTreeKeepsWhatIsLockedAndListsIt) {
  for (const wchar_t* suffix : {L"", L"\\"}) {
    TestFolder folder;
    const std::wstring tree = folder / L"Setup";
    folder.Write(L"Setup\\Setwright.exe", "x");
    folder.Write(L"Setup\\data\\a.bin", "x");
    folder.Write(L"Setup\\data\\deep\\b.bin", "x");
    const std::wstring locked = folder.Write(L"Setup\\held\\c.dll", "x");
    folder.Write(L"Setup\\held\\d.dll", "x");
    CreateDirectoryW((tree + L"\\empty").c_str(), nullptr);

    // Held open without delete sharing, as a running program holds its own files.
    ScopedHandle holder(::CreateFileW(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());
    std::vector<std::wstring> failed{L"earlier entry"};
    EXPECT_FALSE(RemoveFolderTree(tree + suffix, failed));
    EXPECT_EQ(failed, (std::vector<std::wstring>{L"earlier entry", locked}));
    EXPECT_TRUE(folder.Exists(L"Setup\\held\\c.dll"));
    for (const wchar_t* gone : {L"Setup\\Setwright.exe", L"Setup\\data", L"Setup\\empty",
                                L"Setup\\held\\d.dll"}) {
      EXPECT_FALSE(folder.Exists(gone)) << gone;
    }

    holder.Reset();
    failed.clear();
    EXPECT_TRUE(RemoveFolderTree(tree + suffix, failed));
    EXPECT_TRUE(failed.empty());
    EXPECT_FALSE(folder.Exists(L"Setup"));
  }
}

TEST(SystemUtilsTest, RemoveFolderTreeDoesNotFollowLinkedFolders) {
  TestFolder folder;
  folder.Write(L"outside\\keep.txt", "user data");
  folder.Write(L"Setup\\Setwright.exe", "x");
  // A Unix symbolic link, which Wine lists as a folder with a reparse point, like a junction.
  const std::wstring target = UnixPath(folder / L"outside");
  const std::wstring link = UnixPath(folder / L"Setup\\linked");
  if (target.empty() || !StartUnixProgram(L"Z:\\bin\\ln", L"ln -s \"" + target + L"\" \"" + link + L"\"")) {
    GTEST_SKIP() << "cannot make a folder link here";
  }
  for (int i = 0; i < 200 && !FileExists(folder / L"Setup\\linked"); ++i) ::Sleep(50);
  ASSERT_TRUE(FileExists(folder / L"Setup\\linked\\keep.txt"));

  std::vector<std::wstring> failed;
  EXPECT_TRUE(RemoveFolderTree(folder / L"Setup", failed));
  EXPECT_TRUE(failed.empty());
  EXPECT_TRUE(folder.Exists(L"outside\\keep.txt")) << "deleted through the link";
  EXPECT_FALSE(folder.Exists(L"Setup\\Setwright.exe"));

  // Wine cannot remove a Unix link through RemoveDirectoryW; take it away from the Unix side.
  if (FileExists(folder / L"Setup\\linked") && StartUnixProgram(L"Z:\\bin\\rm", L"rm \"" + link + L"\"")) {
    for (int i = 0; i < 200 && FileExists(folder / L"Setup\\linked"); ++i) ::Sleep(50);
  }
}

TEST(SystemUtilsTest, RemoveFolderTreeOfAMissingFolderFails) {
  TestFolder folder;
  std::vector<std::wstring> failed;
  EXPECT_FALSE(RemoveFolderTree(folder / L"missing", failed));
  EXPECT_TRUE(failed.empty());
  EXPECT_TRUE(FileExists(folder.Path()));
}

TEST(SystemUtilsTest, RunProgramWaitsForTheExitCode) {
  ASSERT_TRUE(FileExists(Helper()));
  for (uint32_t code : {0u, 1u, 1000u, 0xC0000005u}) {
    uint32_t exitCode = 12345;
    EXPECT_TRUE(RunProgram(Helper(), L"exit " + std::to_wstring(code), true, &exitCode));
    EXPECT_EQ(exitCode, code);
  }

  TestFolder folder;
  uint32_t exitCode = 12345;
  EXPECT_FALSE(RunProgram(folder / L"missing.exe", L"", true, &exitCode));
  EXPECT_EQ(exitCode, 12345u) << "a program that never ran produced an exit code";
}

TEST(SystemUtilsTest, RunProgramPassesTheShowMode) {
  TestFolder folder;
  const std::wstring report = folder / L"show.txt";
  for (bool hidden : {true, false}) {
    uint32_t exitCode = 1;
    ASSERT_TRUE(RunProgram(Helper(), L"show \"" + report + L"\"", hidden, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(ReadAll(report), hidden ? "0" : "5");
  }
}

TEST(SystemUtilsTest, RunProgramWithoutExitCodeDoesNotWait) {
  TestFolder folder;
  const std::wstring marker = folder / L"late.txt";
  ASSERT_TRUE(RunProgram(Helper(), L"late 1500 \"" + marker + L"\"", true));
  EXPECT_FALSE(FileExists(marker)) << "returned only after the program had finished";
  for (int i = 0; i < 200 && !FileExists(marker); ++i) ::Sleep(50);
  EXPECT_TRUE(FileExists(marker)) << "the program did not run";
}

// Runs the helper's double-byte check in a process whose ANSI code page is 936 and returns its
// answer ("" when that cannot be arranged). Under Wine the code page follows the Unix locale a
// process starts with, which a Windows parent cannot hand down through its environment, so the
// helper is started through env(1) with LANG and LC_ALL set to zh_CN.UTF-8. Such a Unix child
// yields no exit code and cannot be waited for: the answer comes back in a file.
std::string DbcsCheckUnderChineseLocale(const TestFolder& folder) {
  const std::wstring helper = UnixPath(Helper());
  if (helper.empty()) return "";
  const std::wstring answer = folder / L"dbcs.txt";
  std::wstring command = L"env LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8 wine \"" + helper +
                         L"\" dbcs \"" + answer + L"\"";
  if (!StartUnixProgram(L"Z:\\usr\\bin\\env", command)) return "";
  for (int i = 0; i < 600 && ReadAll(answer).empty(); ++i) ::Sleep(50);
  return ReadAll(answer);
}

TEST(SystemUtilsTest, ContainsDbcsLeadByteFollowsTheAnsiCodePage) {
  for (const wchar_t* path : {L"", L"C:\\Program Files\\Velmora\\Lumaport.exe", L"D:\\a b\\~1"}) {
    EXPECT_FALSE(ContainsDbcsLeadByte(path)) << path;
  }
  CPINFO info{};
  if (::GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 2) {
    EXPECT_TRUE(ContainsDbcsLeadByte(L"D:\\\u6e38\u620f\\"));  // already on a double-byte system
    return;
  }
  EXPECT_FALSE(ContainsDbcsLeadByte(L"D:\\\u6e38\u620f\\")) << "single-byte code page " << ::GetACP();

  TestFolder folder;
  const std::string answer = DbcsCheckUnderChineseLocale(folder);
  if (answer.empty() || answer == "2") {
    GTEST_SKIP() << "cannot start a process with a double-byte ANSI code page here";
  }
  EXPECT_EQ(answer, "1") << "3: true for an ASCII path, 0: false for a Chinese path";
}

}  // namespace
}  // namespace rezorev
