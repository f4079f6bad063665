// Logger: statements, the queue, the writer thread and the process instance.
//
//   1. LogStatement   - composing text on the caller's thread, queueing at completion
//   2. Shared state   - what the Logger and its writer own together
//   3. Writer thread  - draining batches, rotation, the closing line
//   4. Logger         - push, stop, waits
//   5. Process logger - the dated path, creation on first use, tear-down at exit
#include "foundation/logger.h"

#include <atomic>
#include <cinttypes>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "foundation/log_platform.h"
#include "foundation/log_record.h"
#include "foundation/text_convert.h"

namespace rezorev {
namespace {

// Raised once by the process tear-down; statements completed afterwards are dropped.
std::atomic<uint8_t> g_processStopped{0};

template <typename... Args>
std::wstring Printf(const char* format, Args... args) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return std::wstring(buffer, buffer + std::char_traits<char>::length(buffer));
}

}  // namespace

// ---- 1. LogStatement -------------------------------------------------------------------------

LogStatement::LogStatement(LogLevel level, const char* module, const char* file, const char* function,
                           int line)
    : level_(level), module_(module), file_(file), function_(function), line_(line),
      threadId_(LogThreadId()) {
  text_.reserve(512);
}

LogStatement::~LogStatement() {
  if (g_processStopped.load() != 0) return;
  try {
    Logger::Instance().Push(level_, module_, file_, function_, line_, threadId_, std::move(text_));
  } catch (...) {
    // Out of memory or no thread to start: the line is lost, the caller goes on.
  }
}

LogStatement& LogStatement::operator<<(const char* text) {
  text_ += text != nullptr ? AnsiToUtf16(text) : L"(null)";
  return *this;
}
LogStatement& LogStatement::operator<<(const std::string& text) {
  text_ += AnsiToUtf16(text);
  return *this;
}
LogStatement& LogStatement::operator<<(const wchar_t* text) {
  text_ += text != nullptr ? text : L"(null)";
  return *this;
}
LogStatement& LogStatement::operator<<(const std::wstring& text) {
  text_ += text;
  return *this;
}
LogStatement& LogStatement::operator<<(int32_t value) {
  text_ += Printf("%d", int(value));
  return *this;
}
LogStatement& LogStatement::operator<<(uint32_t value) {
  text_ += Printf("%u", unsigned(value));
  return *this;
}
LogStatement& LogStatement::operator<<(const void* pointer) {
  text_ += Printf("0x%08" PRIXPTR, reinterpret_cast<uintptr_t>(pointer));
  return *this;
}
LogStatement& LogStatement::operator<<(long value) {
  text_ += Printf("%ld", value);
  return *this;
}
LogStatement& LogStatement::operator<<(unsigned long value) {
  text_ += Printf("%lu", value);
  return *this;
}
LogStatement& LogStatement::operator<<(long long value) {
  text_ += Printf("%lld", value);
  return *this;
}
LogStatement& LogStatement::operator<<(unsigned long long value) {
  text_ += Printf("%llu", value);
  return *this;
}
LogStatement& LogStatement::operator<<(double value) {
  text_ += Printf("%g", value);
  return *this;
}

// ---- 2. Shared state -------------------------------------------------------------------------

struct Logger::State {
  explicit State(std::wstring path) : filePath(std::move(path)) {}

  const std::wstring filePath;
  std::mutex lock;                     // guards queue and pushed
  std::condition_variable signal;      // a record was queued, or stop was raised
  std::deque<std::unique_ptr<LogRecord>> queue;
  std::atomic<uint8_t> stop{0};

  uint64_t pushed = 0;                 // records queued so far (under lock)
  std::atomic<uint64_t> written{0};    // records written, counted after their batch's size check

  std::mutex doneLock;                 // guards done
  std::condition_variable doneSignal;
  bool done = false;                   // the writer has ended
};

// ---- 3. Writer thread ------------------------------------------------------------------------

namespace {

void WriteLine(std::FILE* stream, const std::string& line) {
  if (stream == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);  // every record reaches the file before the next one is written
}

void RunWriter(std::shared_ptr<Logger::State> state) {
  std::FILE* stream = OpenLogStream(state->filePath, /*truncate=*/false);
  for (;;) {
    std::deque<std::unique_ptr<LogRecord>> batch;
    bool stopping;
    {
      std::unique_lock<std::mutex> guard(state->lock);
      while (state->stop.load() == 0 && state->queue.empty()) {
        state->signal.wait_for(guard, std::chrono::milliseconds(1000));
      }
      batch.swap(state->queue);
      // The flag only changes under this lock, and Push checks it under the lock too: a batch
      // taken after the flag went up holds every record queued before it, and none can follow.
      stopping = state->stop.load() != 0;
    }
    for (auto& record : batch) {
      try {
        WriteLine(stream, FormatLogLine(*record));
      } catch (...) {
        // A line that cannot be formatted (out of memory) is skipped; the rest go on.
      }
      record.reset();
    }
    if (stopping) {
      state->written += batch.size();
      break;
    }
    if (stream != nullptr) {
      long position = std::ftell(stream);
      if (position > 0 && uint64_t(position) > Logger::kRotateSize) {
        std::fclose(stream);
        RotateLogFile(state->filePath);
        stream = OpenLogStream(state->filePath, /*truncate=*/true);
      }
    }
    state->written += batch.size();
  }

  if (stream != nullptr) {
    try {
      WriteLine(stream, FormatLogTime(LogClockNow()) + " End...");
    } catch (...) {
    }
    std::fclose(stream);
    uint64_t size = 0;
    if (LogFileSize(state->filePath, &size) && size > Logger::kRotateSize) RotateLogFile(state->filePath);
  }

  std::lock_guard<std::mutex> guard(state->doneLock);
  state->done = true;
  state->doneSignal.notify_all();
  // The state stays alive until this thread's share (the argument) is released on return.
}

}  // namespace

// ---- 4. Logger -------------------------------------------------------------------------------

Logger::Logger(std::wstring filePath) : state_(std::make_shared<State>(std::move(filePath))) {
  try {
    std::thread(RunWriter, state_).detach();
  } catch (...) {
    // No writer: behave as a stopped logger so that records are dropped instead of piling up.
    state_->stop = 1;
    std::lock_guard<std::mutex> guard(state_->doneLock);
    state_->done = true;
  }
}

Logger::~Logger() {
  Stop();
  WaitForWriter(kWriterExitWait);
  // Dropping this share frees the state only if the writer has released its own.
}

void Logger::Push(LogLevel level, const char* module, const char* file, const char* function, int line,
                  uint32_t threadId, std::wstring text) {
  if (state_->stop.load() != 0) return;
  auto record = std::make_unique<LogRecord>();
  FillLogRecord(record.get(), level, module, file, function, line, threadId, LogClockNow(), std::move(text));
  std::lock_guard<std::mutex> guard(state_->lock);
  if (state_->stop.load() != 0) return;  // stopped while the record was being built
  state_->queue.push_back(std::move(record));
  ++state_->pushed;
  state_->signal.notify_one();
}

const std::wstring& Logger::FilePath() const { return state_->filePath; }

void Logger::Stop() {
  // Raised under the queue lock: every record is then either queued before the flag (and
  // written in the writer's last batch) or dropped by Push, never left behind in the queue; and
  // the wake-up cannot fall between the writer's check and its wait.
  std::lock_guard<std::mutex> guard(state_->lock);
  if (state_->stop.exchange(1) != 0) return;
  state_->signal.notify_one();
}

bool Logger::WaitForWriter(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(state_->doneLock);
  return state_->doneSignal.wait_for(guard, timeout, [this] { return state_->done; });
}

bool Logger::WaitUntilWritten(std::chrono::milliseconds timeout) {
  uint64_t target;
  {
    std::lock_guard<std::mutex> guard(state_->lock);
    target = state_->pushed;
  }
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (state_->written.load() < target) {
    if (state_->stop.load() != 0 || std::chrono::steady_clock::now() >= deadline) {
      return state_->written.load() >= target;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// ---- 5. Process logger -----------------------------------------------------------------------

namespace {

Logger* g_processLogger = nullptr;  // never deleted: threads may still log while the process ends

// <log folder><program name without extension>_YYYYMMDD_HHMMSS.log, or empty without a folder.
std::wstring ProcessLogPath() {
  std::wstring folder = LogFolder();
  if (folder.empty()) return std::wstring();
  std::wstring path = folder + LogProgramName();
  // Only a dot inside the program's own name starts its extension; a dot in a folder name (a
  // user called "j.doe") must not cut the path.
  size_t dot = path.find_last_of(L'.');
  if (dot != std::wstring::npos && dot > path.find_last_of(kLogPathSeparator)) path.erase(dot);
  LogTimestamp t = LogClockNow();
  path += Printf("_%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  path += L".log";
  return path;
}

void TearDownProcessLogger() {
  g_processStopped.exchange(1);
  g_processLogger->Stop();
  g_processLogger->WaitForWriter(Logger::kWriterExitWait);
}

Logger* CreateProcessLogger() {
  g_processLogger = new Logger(ProcessLogPath());
  std::atexit(TearDownProcessLogger);
  return g_processLogger;
}

}  // namespace

Logger& Logger::Instance() {
  static Logger* instance = CreateProcessLogger();  // one constructor; racing threads wait
  return *instance;
}

}  // namespace rezorev
