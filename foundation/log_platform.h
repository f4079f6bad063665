// The logger's few contacts with the operating system. log_platform_win.cpp is the program's;
// log_platform_posix.cpp is a stand-in for the host build, so that Win32-free code that logs can
// run its tests there (its folder is $TMPDIR or /tmp, its lines end in "\n").
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "foundation/log_record.h"

namespace rezorev {

// Separator between folder names in a path.
extern const wchar_t kLogPathSeparator;

// Local wall-clock time of now, to the millisecond.
LogTimestamp LogClockNow();

// The calling thread's system id (GetCurrentThreadId on Windows).
uint32_t LogThreadId();

// The log folder: the user's temporary folder followed by "GameDownloadLog" and a separator,
// created with any missing parents if it does not exist (a failure to create it is ignored).
// Empty when the temporary folder cannot be obtained.
std::wstring LogFolder();

// The program's own file name (with its extension), without the folder.
std::wstring LogProgramName();

// Opens a log file shared for reading and writing by others, as text (on Windows "\n" is written
// as CR LF): for appending, or truncated when `truncate` is set. Null on failure or empty path.
std::FILE* OpenLogStream(const std::wstring& path, bool truncate);

// The size of a file on disk. False (and *size untouched) when it cannot be read.
bool LogFileSize(const std::wstring& path, uint64_t* size);

// Moves the file to "<path>.bak", deleting an older backup first. Failures are ignored.
void RotateLogFile(const std::wstring& path);

}  // namespace rezorev
