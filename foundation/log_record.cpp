#include "foundation/log_record.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "foundation/logger.h"
#include "foundation/text_convert.h"

namespace rezorev {
namespace {

// Indexed by level; 0 is never written because levels are clamped when queued.
constexpr const char* kLevelNames[4] = {"Debug", "Info", "Warn", "Error"};

template <size_t N>
void CopyTruncated(char (&field)[N], const char* text) {
  if (text == nullptr) text = "";
  size_t length = std::strlen(text);
  if (length > N - 1) length = N - 1;
  std::memcpy(field, text, length);
  field[length] = '\0';
}

}  // namespace

uint32_t ClampLogLevel(uint32_t level) {
  if (level < kLogInfo) return kLogInfo;
  if (level > kLogError) return kLogError;
  return level;
}

void FillLogRecord(LogRecord* record, uint32_t level, const char* module, const char* file,
                   const char* function, int line, uint32_t threadId, const LogTimestamp& time,
                   std::wstring text) {
  record->level = ClampLogLevel(level);
  CopyTruncated(record->module, module);
  CopyTruncated(record->file, file);
  CopyTruncated(record->function, function);
  record->line = line;
  record->threadId = threadId;
  record->time = time;
  record->text = std::move(text);
}

std::string FormatLogTime(const LogTimestamp& t) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d:%03d", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond);
  return buffer;
}

const char* LogFileBaseName(const char* path) {
  const char* base = path;
  for (const char* p = path; *p != '\0'; ++p) {
    // The program is built from both Windows and POSIX source trees, so either separator ends a
    // folder name.
    if (*p == '\\' || *p == '/') base = p + 1;
  }
  return base;
}

std::string FormatLogLine(const LogRecord& record) {
  char header[512];
  // %d for the thread id: that is how the id has always been shown in these files.
  std::snprintf(header, sizeof header, " [tid=%d][%s][%s][%s][%s@%d] ", int(record.threadId),
                kLevelNames[ClampLogLevel(record.level)], record.module, LogFileBaseName(record.file),
                record.function, int(record.line));
  std::string line = FormatLogTime(record.time);
  line += header;
  line += Utf16ToUtf8(record.text);
  return line;
}

}  // namespace rezorev
