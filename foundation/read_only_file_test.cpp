#include "foundation/read_only_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "foundation/system_utils_test_folder.h"

namespace rezorev {
namespace {

TEST(ReadOnlyFileTest, PathIsMadeAbsolute) {
  wchar_t current[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, current);
  std::wstring currentFolder = current;
  if (currentFolder.back() == L'\\') currentFolder.pop_back();

  const std::wstring longName(300, L'x');
  struct Case {
    std::wstring given;
    std::wstring expected;
  } cases[] = {
      {L"compoment.xml", currentFolder + L"\\compoment.xml"},
      {L"C:\\Temp\\..\\Velmora\\.\\a.xml", L"C:\\Velmora\\a.xml"},
      {L"C:\\Temp\\Component\\", L"C:\\Temp\\Component"},
      {L"C:\\Temp\\name ", L"C:\\Temp\\name "},
      {L"C:\\" + longName + L"\\" + longName, L"C:\\" + longName + L"\\" + longName},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadOnlyFile(c.given).Path(), c.expected);
  }
}

TEST(ReadOnlyFileTest, ReadsUntilTheEnd) {
  TestFolder folder;
  ReadOnlyFile file(folder.Write(L"package.bin", "0123456789"));
  EXPECT_EQ(file.Size(), 10);
  char buffer[16] = {};
  EXPECT_EQ(file.Read(buffer, 4), -1) << "read without opening";
  ASSERT_TRUE(file.Open());
  EXPECT_EQ(file.Read(buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 6);
  EXPECT_EQ(std::string(buffer, 6), "456789");
  EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 0);
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.Read(buffer, 4), -1);
}

TEST(ReadOnlyFileTest, OpensFilesOthersWriteAndFailsOnMissingOnes) {
  TestFolder folder;
  const std::wstring path = folder.Write(L"log.txt", "abc");
  ScopedHandle writer(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer.IsValid());
  ReadOnlyFile file(path);
  EXPECT_TRUE(file.Open());

  ReadOnlyFile missing(folder / L"missing.xml");
  EXPECT_FALSE(missing.Open());
  EXPECT_EQ(missing.Size(), -1);
  char buffer[4];
  EXPECT_EQ(missing.Read(buffer, sizeof(buffer)), -1);
}

}  // namespace
}  // namespace rezorev
