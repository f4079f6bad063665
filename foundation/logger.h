// Process-wide logger of the foundation library.
//
// A log call composes a LogStatement on the calling thread; when the statement ends (the end of
// the full expression) it is queued as one LogRecord. A single detached writer thread drains the
// queue into one dated file per run:
//
//   <temp folder>\GameDownloadLog\<program name without extension>_YYYYMMDD_HHMMSS.log
//
// Line format (UTF-8, no byte-order mark, CR LF line ends; see log_record.h):
//
//   2026-12-11 12:06:43:017 [tid=1234][Info][GConfig][global_config.cpp][GlobalConfig::Init@88] text
//
// The file is rotated to "<log path>.bak" whenever it has grown past 8 MiB after a batch. At
// process exit the tear-down raises the stop flag and waits for the writer: it writes every
// record queued before the flag, then the closing line "<time> End...", and closes the file
// before exit goes on. Statements completed after the stop flag is raised are dropped.
//
// Usage:  LOG_INFO("GConfig") << "current temp path: [" << tempDir << "]";
//
// Lifetime and exit
// -----------------
// The queue, its lock and signal, the stop flag and the file path live in one shared state block
// that a Logger and its writer thread own together (shared ownership). The writer is detached at
// start and never joined. The process instance's tear-down, registered with atexit when the
// instance is created, goes:
//
//   1. raise the process-wide stop flag: statements completed from now on are dropped;
//   2. raise the logger's stop flag and wake the writer (so exit does not sit out its 1 s poll);
//   3. wait, at most kWriterExitWait, for the writer to report that it has written every record
//      queued before the flag and the " End..." line, closed the file and applied the final size
//      check.
//
// Like the program's other process-lifetime objects, the process instance and its state are
// never freed: a thread that still logs while the process ends finds a stopped logger, not
// released memory. If the writer did not report in time (a writer stuck on a dead disk, or one
// the system already killed while the process ends), exit goes on after the bounded wait.
//
// A Logger on an explicit path (tests, tools) does steps 2 and 3 in its destructor and then drops
// its share of the state: the state is freed at once if the writer has ended, and otherwise
// stays alive, leaked to the writer, until the writer lets go of it; never freed under a live
// thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace rezorev {

using LogLevel = uint32_t;
constexpr LogLevel kLogDebug = 0;
constexpr LogLevel kLogInfo = 1;
constexpr LogLevel kLogWarn = 2;
constexpr LogLevel kLogError = 3;

// One log call. Appends convert narrow text from the system ANSI code page; wide text is taken
// unchanged. Completing the statement (its destructor) queues it on Logger::Instance() unless the
// process-wide stop flag is raised; then it is dropped without a trace. Never throws.
class LogStatement {
 public:
  LogStatement(LogLevel level, const char* module, const char* file, const char* function, int line);
  ~LogStatement();
  LogStatement(const LogStatement&) = delete;
  LogStatement& operator=(const LogStatement&) = delete;

  LogStatement& operator<<(const char* text);          // ANSI code page; null appends "(null)"
  LogStatement& operator<<(const std::string& text);   // ANSI code page
  LogStatement& operator<<(const wchar_t* text);       // null appends "(null)"
  LogStatement& operator<<(const std::wstring& text);
  LogStatement& operator<<(int32_t value);              // "%d"
  LogStatement& operator<<(uint32_t value);             // "%u"
  LogStatement& operator<<(const void* pointer);        // "0x%08X"
  // Decimal as well. They exist so that DWORD (unsigned long on Windows), size_t, 64-bit file
  // sizes and the like stream without an ambiguous overload.
  LogStatement& operator<<(long value);
  LogStatement& operator<<(unsigned long value);
  LogStatement& operator<<(long long value);
  LogStatement& operator<<(unsigned long long value);
  LogStatement& operator<<(double value);               // "%g"

 private:
  std::wstring text_;
  LogLevel level_;
  const char* module_;
  const char* file_;
  const char* function_;
  int line_;
  uint32_t threadId_;
};

class Logger {
 public:
  // How long a tear-down waits for the writer to finish (see "Lifetime and exit" above). The
  // writer normally needs milliseconds once woken; the bound only matters for a writer that
  // cannot run any more.
  static constexpr std::chrono::milliseconds kWriterExitWait{2000};
  // A file that has grown past this many bytes after a batch is moved to "<path>.bak".
  static constexpr uint64_t kRotateSize = 8388608;

  // The process's logger, created on first use (several threads may race to create it; one does,
  // the others wait). Its path is the dated file under the temporary folder; when the temporary
  // folder cannot be had, the path is empty and records go nowhere. Its tear-down runs at process
  // exit; the object stays valid (and stopped) after it.
  static Logger& Instance();

  // A logger on an explicit file path with its own writer and stop flag (tests, tools). An empty
  // path, or one that cannot be opened, makes the writer drain records into nowhere.
  explicit Logger(std::wstring filePath);
  // Stop(), then WaitForWriter(kWriterExitWait), then release this logger's share of the state.
  // No other thread may use the object meanwhile.
  ~Logger();
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  // Builds the record (truncated copies, level clamped into 1..3, local time of now) on the
  // calling thread, then queues it under the lock and wakes the writer. Dropped once this
  // logger is stopped.
  void Push(LogLevel level, const char* module, const char* file, const char* function, int line,
            uint32_t threadId, std::wstring text);

  const std::wstring& FilePath() const;

  // Raises this logger's stop flag and wakes the writer: it writes every record queued before
  // the flag, the " End..." line, closes the file and ends. Records pushed afterwards are
  // dropped. Idempotent.
  void Stop();
  // True once the writer has ended (after Stop), false if it has not within the timeout.
  bool WaitForWriter(std::chrono::milliseconds timeout);
  // True once every record pushed before the call has been written and the size check after its
  // batch is done; false on timeout or if the logger was stopped first. For tests and tools.
  bool WaitUntilWritten(std::chrono::milliseconds timeout);

  struct State;  // shared with the writer thread; defined in logger.cpp

 private:
  std::shared_ptr<State> state_;
};

// Turns a compiler's full function signature ("void CMainWnd::DownloadComponent(int)") into the
// qualified name the log line shows ("CMainWnd::DownloadComponent"): the return type, parameter
// list, trailing qualifiers and "[with T = ...]" notes are removed; template arguments and
// operator names inside the name are kept ("Cache<T>::operator[]"). Returns a pointer into a
// per-signature interned copy, valid for the process.
const char* LogFunctionName(const char* prettyFunction);
// The same, as a fresh string (no interning).
std::string QualifiedFunctionName(const char* prettyFunction);

}  // namespace rezorev

#define REZ_LOG(level, module) \
  ::rezorev::LogStatement((level), (module), __FILE__, ::rezorev::LogFunctionName(__PRETTY_FUNCTION__), __LINE__)
#define LOG_INFO(module) REZ_LOG(::rezorev::kLogInfo, module)
#define LOG_WARN(module) REZ_LOG(::rezorev::kLogWarn, module)
#define LOG_ERROR(module) REZ_LOG(::rezorev::kLogError, module)
