// Win32 file access for the skin sources: whole-file reads and the package file source.
#include <windows.h>

#include "foundation/scoped_handle.h"
#include "uitoolkit/package_reader.h"
#include "uitoolkit/package_reader_win.h"
#include "uitoolkit/skin_file.h"

namespace MarkupUI {

namespace {

rezorev::ScopedHandle OpenForReading(const wchar_t* path) {
  return rezorev::ScopedHandle(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
}

// A file read at offsets relative to a base position.
class FileSource : public PackageSource {
 public:
  FileSource(rezorev::ScopedHandle owned, HANDLE file, uint64_t base, uint64_t size)
      : owned_(std::move(owned)), file_(file), base_(base), size_(size) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* buffer, size_t length) override {
    if (offset >= size_) return 0;
    if (length > size_ - offset) length = static_cast<size_t>(size_ - offset);
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(base_ + offset);
    if (!::SetFilePointerEx(file_, position, nullptr, FILE_BEGIN)) return 0;
    size_t done = 0;
    while (done < length) {
      DWORD chunk = static_cast<DWORD>(length - done > 0x100000 ? 0x100000 : length - done);
      DWORD got = 0;
      if (!::ReadFile(file_, static_cast<uint8_t*>(buffer) + done, chunk, &got, nullptr) || got == 0) break;
      done += got;
    }
    return done;
  }

 private:
  rezorev::ScopedHandle owned_;  // empty when the caller keeps the handle
  HANDLE file_;
  uint64_t base_;
  uint64_t size_;
};

}  // namespace

SkinFileResult ReadWholeSkinFile(const wchar_t* path, uint64_t maxBytes, std::vector<uint8_t>& bytes) {
  bytes.clear();
  rezorev::ScopedHandle file = OpenForReading(path);
  if (!file.IsValid()) return SkinFileResult::kOpenFailed;
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file.Get(), &size)) return SkinFileResult::kOpenFailed;
  if (size.QuadPart == 0) return SkinFileResult::kEmpty;
  if (static_cast<uint64_t>(size.QuadPart) > maxBytes) return SkinFileResult::kTooLarge;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  if (!::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) || got != bytes.size()) {
    bytes.clear();
    return SkinFileResult::kShortRead;
  }
  return SkinFileResult::kOk;
}

std::unique_ptr<PackageSource> OpenPackageFileSource(const wchar_t* path) {
  rezorev::ScopedHandle file = OpenForReading(path);
  if (!file.IsValid()) return nullptr;
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file.Get(), &size)) return nullptr;
  HANDLE raw = file.Get();
  return std::make_unique<FileSource>(std::move(file), raw, 0, static_cast<uint64_t>(size.QuadPart));
}

UiPackage* OpenPackageHandle(HANDLE file, const char* password) {
  LARGE_INTEGER zero{}, position{}, size{};
  if (!::SetFilePointerEx(file, zero, &position, FILE_CURRENT) || !::GetFileSizeEx(file, &size) ||
      size.QuadPart < position.QuadPart) {
    // A pipe or console cannot seek; the reader needs random access.
    SetLastPackageResult(kPackageCannotSeek);
    return nullptr;
  }
  return OpenPackageSource(std::make_unique<FileSource>(rezorev::ScopedHandle(), file,
                                                        static_cast<uint64_t>(position.QuadPart),
                                                        static_cast<uint64_t>(size.QuadPart - position.QuadPart)),
                           password);
}

}  // namespace MarkupUI
