// GetFileHexMd5: the digest text of a whole file, read in 64 KiB chunks through one buffer.
#include <windows.h>

#include <cstring>
#include <memory>

#include "digest/md5.h"
#include "foundation/logger.h"
#include "foundation/scoped_handle.h"

namespace {

constexpr DWORD kChunk = 65536;

}  // namespace

std::wstring GetFileHexMd5(const std::wstring& path) {
  rezorev::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    DWORD error = ::GetLastError();
    LOG_ERROR("utils") << "open " << path << " failed. error code: " << error;
    return std::wstring();
  }
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file.Get(), &size)) {
    DWORD error = ::GetLastError();
    LOG_ERROR("utils") << "get " << path << " file size failed. error code: " << error;
    return std::wstring();
  }

  auto buffer = std::make_unique<uint8_t[]>(kChunk);
  Md5Context context;
  Md5Init(&context);
  uint64_t total = uint64_t(size.QuadPart);
  uint64_t done = 0;
  while (done < total) {
    DWORD want = total - done < kChunk ? DWORD(total - done) : kChunk;
    DWORD got = 0;
    if (!::ReadFile(file.Get(), buffer.get(), want, &got, nullptr)) {
      DWORD error = ::GetLastError();
      LOG_ERROR("utils") << "read file buffer failed. error code: " << error;
      return std::wstring();
    }
    if (got == 0) {
      // The file was shortened while we read it. Its digest would describe neither the file as
      // it was nor as it is, so give none: the package check fails as for any other bad file.
      LOG_ERROR("utils") << "read " << path << " ended at " << done << " of " << total << " bytes";
      return std::wstring();
    }
    Md5Update(&context, buffer.get(), got);
    std::memset(buffer.get(), 0, got);
    done += got;
  }
  uint8_t digest[16];
  Md5Final(&context, digest);
  return Md5DigestText(digest);
}
