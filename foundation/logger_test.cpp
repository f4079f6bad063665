#include "foundation/logger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/log_platform.h"
#include "foundation/text_convert.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace rezorev {
namespace {

using std::chrono::milliseconds;

// ---- files ----

std::FILE* OpenFile(const std::wstring& path, const char* mode) {
#ifdef _WIN32
  std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(path.c_str(), wideMode.c_str());
#else
  return std::fopen(Utf16ToUtf8(path).c_str(), mode);
#endif
}

bool ReadBytes(const std::wstring& path, std::string* bytes) {
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) return false;
  bytes->clear();
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes->append(buffer, got);
  std::fclose(file);
  return true;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::FILE* file = OpenFile(path, "wb");
  ASSERT_NE(file, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

bool Exists(const std::wstring& path) {
  std::string ignored;
  return ReadBytes(path, &ignored);
}

void Remove(const std::wstring& path) {
#ifdef _WIN32
  _wremove(path.c_str());
#else
  std::remove(Utf16ToUtf8(path).c_str());
#endif
}

// Lines of a log file with their line ends (CR LF or LF) removed.
std::vector<std::string> ReadLines(const std::wstring& path) {
  std::string bytes;
  std::vector<std::string> lines;
  if (!ReadBytes(path, &bytes)) return lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

// Bytes a line end takes in the file: text mode writes CR LF on Windows.
#ifdef _WIN32
constexpr size_t kLineEnd = 2;
#else
constexpr size_t kLineEnd = 1;
#endif

// A fresh path in the log folder for a test's own logger, with no file or backup left over.
std::wstring FreshLogPath(const char* name) {
  std::wstring path = LogFolder() + Utf8ToUtf16(std::string("test_") + name + ".log");
  Remove(path);
  Remove(path + L".bak");
  return path;
}

// ---- lines ----

struct ParsedLine {
  int year, month, day, hour, minute, second, millisecond;
  uint32_t threadId;
  std::string level, module, file, function;
  int line;
  std::string text;
};

bool ParseLine(const std::string& text, ParsedLine* out) {
  static const std::regex kLine(
      R"(^(\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2}):(\d{3}) \[tid=(\d+)\]\[([A-Za-z]+)\]\[([^\]]*)\]\[([^\]]*)\]\[(.*)@(-?\d+)\] (.*)$)");
  std::smatch m;
  if (!std::regex_match(text, m, kLine)) return false;
  out->year = std::stoi(m[1]);
  out->month = std::stoi(m[2]);
  out->day = std::stoi(m[3]);
  out->hour = std::stoi(m[4]);
  out->minute = std::stoi(m[5]);
  out->second = std::stoi(m[6]);
  out->millisecond = std::stoi(m[7]);
  out->threadId = uint32_t(std::stoul(m[8]));
  out->level = m[9];
  out->module = m[10];
  out->file = m[11];
  out->function = m[12];
  out->line = std::stoi(m[13]);
  out->text = m[14];
  return true;
}

bool IsEndLine(const std::string& line) {
  static const std::regex kEnd(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3} End\.\.\.$)");
  return std::regex_match(line, kEnd);
}

// The parsed lines of the process log whose text contains `marker`, once everything queued so
// far has been written.
std::vector<ParsedLine> ProcessLinesWith(const std::string& marker) {
  EXPECT_TRUE(Logger::Instance().WaitUntilWritten(milliseconds(10000)));
  std::vector<ParsedLine> found;
  for (const std::string& line : ReadLines(Logger::Instance().FilePath())) {
    if (line.find(marker) == std::string::npos) continue;
    ParsedLine parsed;
    EXPECT_TRUE(ParseLine(line, &parsed)) << line;
    found.push_back(parsed);
  }
  return found;
}

// ---- the process logger, through the LOG_* macros ----

TEST(ProcessLogger, FileIsDatedAndNamedAfterTheProgramInTheTempLogFolder) {
#ifdef _WIN32
  wchar_t temp[MAX_PATH + 1];
  std::wstring folder(temp, GetTempPathW(MAX_PATH + 1, temp));
  folder += L"GameDownloadLog\\";
#else
  const char* tmpdir = std::getenv("TMPDIR");
  std::string narrow = tmpdir != nullptr ? tmpdir : "/tmp";
  if (narrow.back() != '/') narrow += '/';
  std::wstring folder = Utf8ToUtf16(narrow + "GameDownloadLog/");
#endif
  std::wstring path = Logger::Instance().FilePath();
  ASSERT_EQ(path.compare(0, folder.size(), folder), 0) << Utf16ToUtf8(path);
  std::string name = Utf16ToUtf8(path.substr(folder.size()));
  // The extension of the program (".exe") is cut before the start time is added.
  EXPECT_TRUE(std::regex_match(name, std::regex(R"(logger_test_20\d{6}_\d{6}\.log)"))) << name;
}

TEST(ProcessLogger, LineCarriesTimeThreadLevelModuleFileFunctionLineAndText) {
  const int line = __LINE__ + 1;
  LOG_WARN("GConfig") << L"fields " << "narrow " << int32_t(-5) << " " << uint32_t(4000000000u) << " "
                      << reinterpret_cast<const void*>(uintptr_t(0x1a2b)) << " " << 123456789012LL;
  auto lines = ProcessLinesWith("fields narrow");
  ASSERT_EQ(lines.size(), 1u);
  const ParsedLine& p = lines[0];
  EXPECT_EQ(p.threadId, LogThreadId());
  EXPECT_EQ(p.level, "Warn");
  EXPECT_EQ(p.module, "GConfig");
  EXPECT_EQ(p.file, "logger_test.cpp");
  EXPECT_EQ(p.function, "rezorev::{anonymous}::ProcessLogger_LineCarriesTimeThreadLevelModuleFileFunctionLineAndText_Test::TestBody");
  EXPECT_EQ(p.line, line);
  EXPECT_EQ(p.text, "fields narrow -5 4000000000 0x00001A2B 123456789012");

  LogTimestamp now = LogClockNow();
  EXPECT_EQ(p.year, now.year);
  EXPECT_TRUE(p.month >= 1 && p.month <= 12 && p.day >= 1 && p.day <= 31 && p.hour <= 23 &&
              p.minute <= 59 && p.second <= 60 && p.millisecond <= 999);
}

TEST(ProcessLogger, LevelsAreClampedIntoInfoToError) {
  const struct {
    LogLevel level;
    const char* name;
  } cases[] = {{0, "Info"}, {1, "Info"}, {2, "Warn"}, {3, "Error"}, {4, "Error"}, {7, "Error"},
               {0xFFFFFFFFu, "Error"}};
  for (const auto& c : cases) REZ_LOG(c.level, "Clamp") << "clamp case " << c.level;
  auto lines = ProcessLinesWith("clamp case ");
  ASSERT_EQ(lines.size(), std::size(cases));
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].text, "clamp case " + std::to_string(cases[i].level));
    EXPECT_EQ(lines[i].level, cases[i].name) << cases[i].level;
  }
}

TEST(ProcessLogger, NarrowAnsiTextReachesTheFileAsUtf8) {
  const std::wstring wide = L"caf\u00e9 \u00fcber \u00c5ngstr\u00f6m";
  std::string ansi = Utf16ToAnsi(wide);
  if (AnsiToUtf16(ansi) != wide) GTEST_SKIP() << "the ANSI code page cannot hold the sample";
  LOG_INFO("Ansi") << "ansi sample: " << ansi << " / " << ansi.c_str();
  auto lines = ProcessLinesWith("ansi sample: ");
  ASSERT_EQ(lines.size(), 1u);
  std::string utf8 = Utf16ToUtf8(wide);
  EXPECT_EQ(lines[0].text, "ansi sample: " + utf8 + " / " + utf8);
  EXPECT_EQ(utf8, "caf\xc3\xa9 \xc3\xbc" "ber \xc3\x85ngstr\xc3\xb6m");
}

TEST(ProcessLogger, ThreadsGetOneLineEachInOrderWithTheirOwnIds) {
  constexpr int kThreads = 6;
  constexpr int kLines = 300;
  std::vector<uint32_t> ids(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &ids] {
      ids[t] = LogThreadId();
      for (int k = 0; k < kLines; ++k) LOG_INFO("Threads") << "burst " << t << " " << k;
    });
  }
  for (auto& thread : threads) thread.join();

  auto lines = ProcessLinesWith("burst ");
  ASSERT_EQ(lines.size(), size_t(kThreads * kLines));
  std::vector<int> next(kThreads, 0);
  for (const ParsedLine& p : lines) {
    int t = -1, k = -1;
    ASSERT_EQ(std::sscanf(p.text.c_str(), "burst %d %d", &t, &k), 2) << p.text;
    ASSERT_TRUE(t >= 0 && t < kThreads);
    EXPECT_EQ(p.threadId, ids[t]);
    EXPECT_EQ(k, next[t]) << "thread " << t << " out of order";  // a thread's lines keep its order
    next[t] = k + 1;
  }
}

// ---- a logger on its own file ----

TEST(Logger, LongModuleFileAndFunctionAreTruncated) {
  std::wstring path = FreshLogPath("truncate");
  {
    Logger logger(path);
    std::string file = std::string(300, 'f');
    logger.Push(kLogInfo, std::string(100, 'm').c_str(), file.c_str(), std::string(200, 'n').c_str(), 7, 42,
                L"cut");
    logger.Push(kLogInfo, nullptr, nullptr, nullptr, 8, 42, L"null fields");
    ASSERT_TRUE(logger.WaitUntilWritten(milliseconds(10000)));
  }
  auto lines = ReadLines(path);
  ASSERT_EQ(lines.size(), 3u);
  ParsedLine p;
  ASSERT_TRUE(ParseLine(lines[0], &p)) << lines[0];
  EXPECT_EQ(p.module, std::string(63, 'm'));
  EXPECT_EQ(p.file, std::string(255, 'f'));
  EXPECT_EQ(p.function, std::string(127, 'n'));
  EXPECT_EQ(p.threadId, 42u);
  ASSERT_TRUE(ParseLine(lines[1], &p)) << lines[1];
  EXPECT_EQ(p.module + p.file + p.function, "");
  EXPECT_EQ(p.text, "null fields");
}

TEST(Logger, StopWritesTheEndLineLastAndDropsLaterRecords) {
  std::wstring path = FreshLogPath("stop");
  Logger logger(path);
  logger.Push(kLogInfo, "Stop", "x.cpp", "F", 1, 1, L"before stop");
  logger.Stop();
  logger.Push(kLogInfo, "Stop", "x.cpp", "F", 2, 1, L"after stop");
  ASSERT_TRUE(logger.WaitForWriter(milliseconds(10000)));
  auto lines = ReadLines(path);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("before stop"), std::string::npos);
  EXPECT_TRUE(IsEndLine(lines[1])) << lines[1];
}

TEST(Logger, FileThatCannotBeOpenedLosesRecordsQuietly) {
  Logger logger(LogFolder() + Utf8ToUtf16("no such folder") + kLogPathSeparator + L"x.log");
  logger.Push(kLogError, "Lost", "x.cpp", "F", 1, 1, L"nowhere");
  EXPECT_TRUE(logger.WaitUntilWritten(milliseconds(10000)));
  logger.Stop();
  EXPECT_TRUE(logger.WaitForWriter(milliseconds(10000)));
}

// A file of exactly 8 MiB after a batch stays; one byte more is moved to ".log.bak", replacing
// an older backup, and writing goes on in an empty file under the log's own name.
TEST(Logger, RotatesOnlyPastEightMebibytes) {
  LogRecord probe;
  FillLogRecord(&probe, kLogInfo, "Rotate", "rotate.cpp", "Fill", 1, 9, LogTimestamp{}, L"filler");
  const size_t lineBytes = FormatLogLine(probe).size() + kLineEnd;  // every field has a fixed width

  for (size_t over : {0u, 1u}) {
    SCOPED_TRACE(over);
    std::wstring path = FreshLogPath("rotate");
    WriteBytes(path, std::string(Logger::kRotateSize - lineBytes + over, 'x'));
    WriteBytes(path + L".bak", "older backup");
    Logger logger(path);
    logger.Push(kLogInfo, "Rotate", "rotate.cpp", "Fill", 1, 9, L"filler");
    ASSERT_TRUE(logger.WaitUntilWritten(milliseconds(10000)));

    std::string log, backup;
    ASSERT_TRUE(ReadBytes(path, &log));
    ASSERT_TRUE(ReadBytes(path + L".bak", &backup));
    if (over == 0) {
      EXPECT_EQ(log.size(), Logger::kRotateSize);
      EXPECT_EQ(backup, "older backup");
    } else {
      EXPECT_EQ(log, "");
      EXPECT_EQ(backup.size(), Logger::kRotateSize + 1);
      logger.Push(kLogInfo, "Rotate", "rotate.cpp", "Fill", 2, 9, L"after rotation");
      ASSERT_TRUE(logger.WaitUntilWritten(milliseconds(10000)));
      auto lines = ReadLines(path);
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_NE(lines[0].find("after rotation"), std::string::npos);
    }
    logger.Stop();
    ASSERT_TRUE(logger.WaitForWriter(milliseconds(10000)));
  }
}

// ---- a whole program's run ----

std::wstring SiblingProgram(const char* name) {
#ifdef _WIN32
  wchar_t self[MAX_PATH];
  std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
  return path.substr(0, path.find_last_of(L'\\') + 1) + Utf8ToUtf16(name) + L".exe";
#else
  char self[4096];
  ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string path(self, length > 0 ? size_t(length) : 0);
  return Utf8ToUtf16(path.substr(0, path.find_last_of('/') + 1) + name);
#endif
}

// Runs a program with one argument; its exit code, or -1 if it could not be run.
int RunProgram(const std::wstring& program, const std::wstring& argument) {
#ifdef _WIN32
  std::wstring commandLine = L"\"" + program + L"\" \"" + argument + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return -1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return int(code);
#else
  std::string file = Utf16ToUtf8(program), arg = Utf16ToUtf8(argument);
  char* argv[] = {&file[0], &arg[0], nullptr};
  pid_t pid;
  if (posix_spawn(&pid, file.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

TEST(ProcessExit, LastLineOfARunIsTheEndLineAndLaterStatementsAreDropped) {
  std::wstring pathFile = FreshLogPath("probe_path");
  ASSERT_EQ(RunProgram(SiblingProgram("log_exit_probe"), pathFile), 0);
  std::string logPath;
  ASSERT_TRUE(ReadBytes(pathFile, &logPath));
  Remove(pathFile);
  auto lines = ReadLines(Utf8ToUtf16(logPath));
  ASSERT_FALSE(lines.empty()) << logPath;
  // A run started within the same second as an earlier one appends to the same file.
  for (size_t i = lines.size() - 1; i-- > 0;) {
    if (IsEndLine(lines[i])) {
      lines.erase(lines.begin(), lines.begin() + long(i) + 1);
      break;
    }
  }

  // 4 threads x 25 lines that raced to create the logger, the last line of main, and the
  // closing line; nothing from the statement completed during exit after the tear-down.
  ASSERT_EQ(lines.size(), 4u * 25 + 2) << logPath;
  EXPECT_TRUE(IsEndLine(lines.back())) << lines.back();
  EXPECT_NE(lines[lines.size() - 2].find("main returns"), std::string::npos);
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find("after the tear-down"), std::string::npos);
  }
}

#ifndef _WIN32
int MillisecondOfDay(const LogTimestamp& t) {
  return ((t.hour * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond;
}

// A writer that cannot finish (here: blocked opening a FIFO that nobody reads) must not hold up
// the tear-down, and the state it uses must outlive the Logger object. Once the FIFO is read,
// the writer resumes on that state (under ASan any use after free would show) and still writes
// its lines and the closing line. The records carry the time they were queued, not written.
TEST(Logger, TearDownDoesNotWaitForeverForAStuckWriter) {
  std::string fifo = Utf16ToUtf8(FreshLogPath("fifo"));
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

  auto logger = std::make_unique<Logger>(Utf8ToUtf16(fifo));
  int before = MillisecondOfDay(LogClockNow());
  logger->Push(kLogInfo, "Fifo", "fifo.cpp", "F", 1, 1, L"queued while stuck");
  int after = MillisecondOfDay(LogClockNow());
  logger->Stop();
  EXPECT_FALSE(logger->WaitForWriter(milliseconds(300)));
  logger.reset();  // the bounded wait (seconds), then the Logger is gone while its writer runs

  int fd = open(fifo.c_str(), O_RDONLY);  // lets the writer's open() return
  ASSERT_GE(fd, 0);
  std::string content;
  char buffer[4096];
  ssize_t got;
  while ((got = read(fd, buffer, sizeof buffer)) > 0) content.append(buffer, size_t(got));
  close(fd);
  unlink(fifo.c_str());

  ASSERT_NE(content.find("queued while stuck"), std::string::npos) << content;
  ParsedLine p;
  ASSERT_TRUE(ParseLine(content.substr(0, content.find('\n')), &p)) << content;
  int written = ((p.hour * 60 + p.minute) * 60 + p.second) * 1000 + p.millisecond;
  EXPECT_TRUE(written >= before && written <= after) << content;
  EXPECT_NE(content.find(" End...\n"), std::string::npos);
}
#endif

}  // namespace
}  // namespace rezorev
