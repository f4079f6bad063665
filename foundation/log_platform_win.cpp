#include "foundation/log_platform.h"

#include <windows.h>
#include <shlobj.h>
#include <share.h>

namespace rezorev {

const wchar_t kLogPathSeparator = L'\\';

LogTimestamp LogClockNow() {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  LogTimestamp t;
  t.year = now.wYear;
  t.month = now.wMonth;
  t.day = now.wDay;
  t.hour = now.wHour;
  t.minute = now.wMinute;
  t.second = now.wSecond;
  t.millisecond = now.wMilliseconds;
  return t;
}

uint32_t LogThreadId() { return ::GetCurrentThreadId(); }

std::wstring LogFolder() {
  wchar_t temp[MAX_PATH + 1];
  DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) return std::wstring();
  std::wstring folder(temp, length);
  if (folder.back() != L'\\') folder += L'\\';
  folder += L"GameDownloadLog\\";
  if (::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
    ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);  // result ignored: see header
  }
  return folder;
}

std::wstring LogProgramName() {
  wchar_t module[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring path(module, length < MAX_PATH ? length : MAX_PATH - 1);
  size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::FILE* OpenLogStream(const std::wstring& path, bool truncate) {
  if (path.empty()) return nullptr;
  return ::_wfsopen(path.c_str(), truncate ? L"wt" : L"at", _SH_DENYNO);
}

bool LogFileSize(const std::wstring& path, uint64_t* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  *size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

void RotateLogFile(const std::wstring& path) {
  std::wstring backup = path + L".bak";
  if (::GetFileAttributesW(backup.c_str()) != INVALID_FILE_ATTRIBUTES) ::DeleteFileW(backup.c_str());
  ::MoveFileW(path.c_str(), backup.c_str());
}

}  // namespace rezorev
