// Test support: the lines that the process's logger writes while a LogCapture is alive.
//
// The capture remembers the size of the log file when it starts; Lines() waits until every
// record pushed so far is in the file and returns the lines written since, without their CR.
// Text() gives the same lines joined by '\n'. Only for tests: it reads the real log file.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/logger.h"
#include "foundation/text_convert.h"

namespace rezorev {

class LogCapture {
 public:
  LogCapture() : start_(FileSize()) {}

  std::vector<std::string> Lines() const {
    Logger::Instance().WaitUntilWritten(std::chrono::seconds(5));
    std::string content = ReadFile();
    std::vector<std::string> lines;
    if (content.size() < start_) start_ = 0;  // rotated meanwhile
    size_t pos = start_;
    while (pos < content.size()) {
      size_t end = content.find('\n', pos);
      if (end == std::string::npos) end = content.size();
      std::string line = content.substr(pos, end - pos);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      pos = end + 1;
    }
    return lines;
  }

  std::string Text() const {
    std::string text;
    for (const std::string& line : Lines()) text += line + "\n";
    return text;
  }

  // Number of captured lines that contain `needle`.
  int Count(const std::string& needle) const {
    int count = 0;
    for (const std::string& line : Lines())
      if (line.find(needle) != std::string::npos) ++count;
    return count;
  }

 private:
  static FILE* OpenLog() {
#ifdef _WIN32
    return _wfopen(Logger::Instance().FilePath().c_str(), L"rb");
#else
    return std::fopen(Utf16ToUtf8(Logger::Instance().FilePath()).c_str(), "rb");
#endif
  }
  static std::string ReadFile() {
    std::string content;
    if (FILE* f = OpenLog()) {
      char buffer[65536];
      size_t n;
      while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) content.append(buffer, n);
      std::fclose(f);
    }
    return content;
  }
  static size_t FileSize() {
    Logger::Instance().WaitUntilWritten(std::chrono::seconds(5));
    return ReadFile().size();
  }

  mutable size_t start_;
};

}  // namespace rezorev
