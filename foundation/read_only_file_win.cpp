#include "foundation/read_only_file.h"

#include <windows.h>

#include <algorithm>

namespace rezorev {
namespace {

std::wstring AbsolutePath(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
  if (length >= full.size()) {  // too long: `length` is the size needed, terminator included
    full.assign(length, L'\0');
    length = ::GetFullPathNameW(path.c_str(), length, &full[0], nullptr);
    if (length >= full.size()) length = 0;
  }
  if (length == 0) return path;  // cannot be made absolute: keep it as given
  full.resize(length);
  // The system strips trailing spaces of the last name; a file may really end with one.
  if (!path.empty() && path.back() == L' ' && full.back() != L' ') full += L' ';
  if (full.size() > 1 && full.back() == L'\\') full.pop_back();
  return full;
}

}  // namespace

ReadOnlyFile::ReadOnlyFile(const std::wstring& path) : path_(AbsolutePath(path)) {}

bool ReadOnlyFile::Open() {
  file_.Reset(::CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file_.IsValid();
}

int64_t ReadOnlyFile::Size() const {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) |
                              data.nFileSizeLow);
}

int64_t ReadOnlyFile::Read(void* buffer, uint64_t length) {
  if (!file_.IsValid()) return -1;
  auto* out = static_cast<BYTE*>(buffer);
  uint64_t total = 0;
  while (total < length) {
    const DWORD request = static_cast<DWORD>(std::min<uint64_t>(length - total, kMaxReadChunk));
    DWORD got = 0;
    if (!::ReadFile(file_.Get(), out + total, request, &got, nullptr)) {
      return total == 0 ? -1 : static_cast<int64_t>(total);
    }
    if (got == 0) break;  // end of file
    total += got;
  }
  return static_cast<int64_t>(total);
}

}  // namespace rezorev
