// ReadOnlyFile: a file opened for reading only, by its absolute path.
//
// The path given is made absolute at construction. Other processes may read and write the file
// while it is open. Owns its handle: closed by Close, by a new Open and at destruction.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/scoped_handle.h"

namespace rezorev {

class ReadOnlyFile {
 public:
  // Largest single read request; bigger reads are split into requests of this size.
  static constexpr uint32_t kMaxReadChunk = 32u * 1024 * 1024;

  // `path` may be relative (to the current folder). A trailing space of it is kept; a trailing
  // backslash of the absolute form is dropped.
  explicit ReadOnlyFile(const std::wstring& path);
  ReadOnlyFile(ReadOnlyFile&&) noexcept = default;
  ReadOnlyFile& operator=(ReadOnlyFile&&) noexcept = default;

  // The absolute path.
  const std::wstring& Path() const { return path_; }

  // Opens an existing file for reading; false (GetLastError tells why) when it cannot.
  bool Open();
  bool IsOpen() const { return file_.IsValid(); }

  // Size of the file in bytes, read from its attributes (the file need not be open); -1 when the
  // query fails.
  int64_t Size() const;

  // Reads up to `length` bytes from the current position into `buffer`, in requests of at most
  // kMaxReadChunk bytes, until `length` is reached or the file ends. Returns the bytes read
  // (0 at the end of the file), or -1 when the file is not open or the first request fails; a
  // later failure returns what was read before it.
  int64_t Read(void* buffer, uint64_t length);

  void Close() { file_.Reset(); }

 private:
  std::wstring path_;
  ScopedHandle file_;
};

}  // namespace rezorev
