// One queued log line and its text form.
//
// A line of the log file reads (all header parts plain ASCII, the text UTF-8):
//
//   YYYY-MM-DD hh:mm:ss:mmm [tid=N][Level][module][source file][function@line] text
//
//   - the time is the local time at which the record was queued (23 characters);
//   - Level is "Info", "Warn" or "Error" (levels are clamped into 1..3 when queued);
//   - the source file is the base name of the issuing file's path, after its last "\" or "/";
//   - the header between the time and the text begins and ends with one space.
//
// The run's last line is the closing line "YYYY-MM-DD hh:mm:ss:mmm End...".
#pragma once

#include <cstdint>
#include <string>

namespace rezorev {

struct LogTimestamp {
  int32_t year = 0;
  int32_t month = 0;        // 1-12
  int32_t day = 0;          // 1-31
  int32_t hour = 0;         // 0-23
  int32_t minute = 0;
  int32_t second = 0;
  int32_t millisecond = 0;  // 0-999
};

struct LogRecord {
  uint32_t level = 1;       // already clamped into 1..3
  char module[64] = {};     // truncated to 63 characters
  char file[256] = {};      // truncated to 255 characters
  char function[128] = {};  // truncated to 127 characters
  int32_t line = 0;
  uint32_t threadId = 0;
  LogTimestamp time;
  std::wstring text;
};

// 0 -> 1 (Info), 1..3 unchanged, anything above 3 -> 3 (Error).
uint32_t ClampLogLevel(uint32_t level);

// Fills every field of a record; null strings become empty ones, long ones are cut to fit.
void FillLogRecord(LogRecord* record, uint32_t level, const char* module, const char* file,
                   const char* function, int line, uint32_t threadId, const LogTimestamp& time,
                   std::wstring text);

// "YYYY-MM-DD hh:mm:ss:mmm".
std::string FormatLogTime(const LogTimestamp& time);

// The whole line of a record, without the line end.
std::string FormatLogLine(const LogRecord& record);

// The part of a path after its last "\" or "/" (the whole path if it has neither).
const char* LogFileBaseName(const char* path);

}  // namespace rezorev
