// Reading the channel parameters from the program's own file (Win32 file I/O).
#include <windows.h>

#include "app/channel_params.h"
#include "foundation/scoped_handle.h"

namespace {

// Positioned reads on a file handle opened for synchronous I/O.
class FileReader : public PositionedReader {
 public:
  explicit FileReader(HANDLE file) : file_(file) {}
  uint32_t ReadAt(uint64_t offset, void* buffer, uint32_t length) override {
    OVERLAPPED position = {};
    position.Offset = DWORD(offset);
    position.OffsetHigh = DWORD(offset >> 32);
    DWORD read = 0;
    if (!::ReadFile(file_, buffer, length, &read, &position)) return ::GetLastError();
    return read == length ? 0 : ERROR_HANDLE_EOF;
  }

 private:
  HANDLE file_;
};

}  // namespace

void InitParamsFromSelf(ChannelParams& params) {
  ParamLog& log = ProgramParamLog();
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  rezorev::ScopedHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    log.Write(rezorev::kLogError, "open program file failed. error code: " + std::to_string(::GetLastError()));
    return;
  }
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(file.Get(), &size)) {
    log.Write(rezorev::kLogError, "get file size failed. error code: " + std::to_string(::GetLastError()));
    return;
  }
  FileReader reader(file.Get());
  ReadChannelParams(reader, uint64_t(size.QuadPart), params, log);
}
