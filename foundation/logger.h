// Process-wide logger of the foundation library.
//
// A log call composes a LogStatement on the calling thread; when the statement ends (the end of
// the full expression) it is queued as one LogRecord. A single detached writer thread drains the
// queue into one dated file per run:
//
//   <temp folder>\GameDownloadLog\<program name without extension>_YYYYMMDD_HHMMSS.log
//
// Line format (UTF-8, no byte-order mark, CR LF line ends):
//
//   2026-12-11 12:06:43:017 [tid=1234][Info][GConfig][global_config.cpp][GlobalConfig::Init@88] text
//
// The file is rotated to "<log path>.bak" whenever it has grown past 8 MiB after a batch. At
// process exit the tear-down raises the stop flag; the writer writes what it has taken, then the
// closing line "<time> End...", closes the file, and only then is the shared state released.
// Statements completed after the stop flag is raised are dropped.
//
// Usage:  LOG_INFO("GConfig") << "current temp path: [" << tempDir << "]";
#pragma once

#include <cstdint>
#include <string>

namespace rezorev {

using LogLevel = uint32_t;
constexpr LogLevel kLogDebug = 0;
constexpr LogLevel kLogInfo = 1;
constexpr LogLevel kLogWarn = 2;
constexpr LogLevel kLogError = 3;

// One log call. Appends convert narrow text from the system ANSI code page; wide text is taken
// unchanged. Completing the statement (its destructor) queues it unless the logger has stopped.
class LogStatement {
 public:
  LogStatement(LogLevel level, const char* module, const char* file, const char* function, int line);
  ~LogStatement();
  LogStatement(const LogStatement&) = delete;
  LogStatement& operator=(const LogStatement&) = delete;

  LogStatement& operator<<(const char* text);          // ANSI code page
  LogStatement& operator<<(const std::string& text);   // ANSI code page
  LogStatement& operator<<(const wchar_t* text);
  LogStatement& operator<<(const std::wstring& text);
  LogStatement& operator<<(int32_t value);              // "%d"
  LogStatement& operator<<(uint32_t value);             // "%u"
  LogStatement& operator<<(const void* pointer);        // "0x%08X"

 private:
  std::wstring text_;
  LogLevel level_;
  const char* module_;
  const char* file_;
  const char* function_;
  int line_;
  uint32_t threadId_;
};

// Turns a compiler's full function signature ("void CMainWnd::DownloadComponent(int)") into the
// qualified name the log line shows ("CMainWnd::DownloadComponent"). Returns a pointer into a
// per-signature interned copy, valid for the process.
const char* LogFunctionName(const char* prettyFunction);

}  // namespace rezorev

#define REZ_LOG(level, module) \
  ::rezorev::LogStatement((level), (module), __FILE__, ::rezorev::LogFunctionName(__PRETTY_FUNCTION__), __LINE__)
#define LOG_INFO(module) REZ_LOG(::rezorev::kLogInfo, module)
#define LOG_WARN(module) REZ_LOG(::rezorev::kLogWarn, module)
#define LOG_ERROR(module) REZ_LOG(::rezorev::kLogError, module)
