// A folder of a test's own below the temporary folder, removed with its contents afterwards.
// Built on std::filesystem so that it does not rely on the routines it helps to test.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace rezorev {

class TestFolder {
 public:
  TestFolder() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    static int count = 0;
    path_ = std::wstring(temp) + L"orvix-utils-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(++count);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
    std::filesystem::create_directories(path_);
  }
  ~TestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  // The folder, without a trailing backslash.
  const std::wstring& Path() const { return path_; }
  std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

  // Writes `content` to the file `relative`, creating missing folders.
  std::wstring Write(const std::wstring& relative, const std::string& content) const {
    const std::wstring file = *this / relative;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream(std::filesystem::path(file), std::ios::binary) << content;
    return file;
  }
  bool Exists(const std::wstring& relative) const {
    return std::filesystem::exists(std::filesystem::path(*this / relative));
  }

 private:
  std::wstring path_;
};

}  // namespace rezorev
