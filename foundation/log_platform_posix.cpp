#include "foundation/log_platform.h"

#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "foundation/text_convert.h"

namespace rezorev {
namespace {

std::string Narrow(const std::wstring& path) { return Utf16ToUtf8(path); }

// mkdir -p: every missing folder along the path, as the shell's directory creation does.
void CreateFolderTree(const std::string& folder) {
  for (size_t i = 1; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == '/') {
      std::string part = folder.substr(0, i);
      if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return;
    }
  }
}

}  // namespace

const wchar_t kLogPathSeparator = L'/';

LogTimestamp LogClockNow() {
  timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  tm local;
  ::localtime_r(&now.tv_sec, &local);
  LogTimestamp t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  t.millisecond = int32_t(now.tv_nsec / 1000000);
  return t;
}

uint32_t LogThreadId() { return uint32_t(::syscall(SYS_gettid)); }

std::wstring LogFolder() {
  const char* temp = std::getenv("TMPDIR");
  std::string folder = (temp != nullptr && temp[0] != '\0') ? temp : "/tmp";
  if (folder.back() != '/') folder += '/';
  folder += "GameDownloadLog/";
  struct stat info;
  if (::stat(folder.c_str(), &info) != 0) CreateFolderTree(folder.substr(0, folder.size() - 1));
  return Utf8ToUtf16(folder);
}

std::wstring LogProgramName() {
  char path[4096];
  ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return L"program";
  std::string name(path, size_t(length));
  return Utf8ToUtf16(name.substr(name.find_last_of('/') + 1));
}

std::FILE* OpenLogStream(const std::wstring& path, bool truncate) {
  if (path.empty()) return nullptr;
  return std::fopen(Narrow(path).c_str(), truncate ? "w" : "a");
}

bool LogFileSize(const std::wstring& path, uint64_t* size) {
  struct stat info;
  if (::stat(Narrow(path).c_str(), &info) != 0) return false;
  *size = uint64_t(info.st_size);
  return true;
}

void RotateLogFile(const std::wstring& path) {
  std::string from = Narrow(path);
  std::string backup = from + ".bak";
  std::remove(backup.c_str());
  std::rename(from.c_str(), backup.c_str());
}

}  // namespace rezorev
