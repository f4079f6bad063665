#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "digest/md5.h"
#include "foundation/logger.h"
#include "foundation/text_convert.h"

namespace {

std::wstring TempFilePath(const wchar_t* name) {
  wchar_t temp[MAX_PATH + 1];
  std::wstring folder(temp, GetTempPathW(MAX_PATH + 1, temp));
  return folder + name;
}

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = 12345;
  for (char& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = char(x >> 24);
  }
  return bytes;
}

void WriteFile(const std::wstring& path, const std::string& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

// Sizes around the 64 KiB chunk: one chunk exactly, one byte into a second, several chunks.
TEST(GetFileHexMd5, DigestsTheWholeFileAtEverySize) {
  for (size_t size : {0u, 1u, 65535u, 65536u, 65537u, 3u * 65536 + 5}) {
    SCOPED_TRACE(size);
    std::wstring path = TempFilePath(L"file_md5_test.bin");
    std::string bytes = Pattern(size);
    WriteFile(path, bytes);
    EXPECT_EQ(GetFileHexMd5(path), Md5Hex(bytes.data(), bytes.size()));
    DeleteFileW(path.c_str());
  }
  std::wstring empty = TempFilePath(L"file_md5_empty.bin");
  WriteFile(empty, "");
  EXPECT_EQ(GetFileHexMd5(empty), L"d41d8cd98f00b204e9800998ecf8427e");
  DeleteFileW(empty.c_str());
}

// The lines of the process log that mention `marker`, once everything queued has been written.
std::vector<std::string> LogLinesWith(const std::string& marker) {
  rezorev::Logger& logger = rezorev::Logger::Instance();
  EXPECT_TRUE(logger.WaitUntilWritten(std::chrono::milliseconds(10000)));
  std::vector<std::string> found;
  FILE* file = _wfopen(logger.FilePath().c_str(), L"rb");
  if (file == nullptr) return found;
  char line[4096];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    std::string text = line;
    if (text.find(marker) != std::string::npos) found.push_back(text);
  }
  std::fclose(file);
  return found;
}

TEST(GetFileHexMd5, MissingFileGivesEmptyTextAndOneOpenErrorLine) {
  std::wstring path = TempFilePath(L"file_md5_missing_1f3a.bin");
  DeleteFileW(path.c_str());
  EXPECT_EQ(GetFileHexMd5(path), L"");
  auto lines = LogLinesWith("file_md5_missing_1f3a");
  ASSERT_EQ(lines.size(), 1u);
  std::string expected = "[Error][utils][file_md5_win.cpp][GetFileHexMd5@";
  EXPECT_NE(lines[0].find(expected), std::string::npos) << lines[0];
  std::string text = "] open " + rezorev::Utf16ToUtf8(path) + " failed. error code: 2\r\n";
  EXPECT_NE(lines[0].find(text), std::string::npos) << lines[0];
}

TEST(GetFileHexMd5, FileLockedByAnotherWriterFailsToOpen) {
  std::wstring path = TempFilePath(L"file_md5_locked_77c2.bin");
  HANDLE locked = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileHexMd5(path), L"");
  CloseHandle(locked);
  DeleteFileW(path.c_str());
  auto lines = LogLinesWith("file_md5_locked_77c2");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("error code: 32"), std::string::npos) << lines[0];  // sharing violation
}

}  // namespace
