// POSIX file access for the skin sources, so that the host build runs the same readers.
#include <cstdio>
#include <cwchar>
#include <string>
#include <memory>

#include "uitoolkit/package_reader.h"
#include "uitoolkit/skin_file.h"
#include "uitoolkit/wide_utf8.h"

namespace MarkupUI {

namespace {

struct FileCloser {
  void operator()(FILE* f) const { fclose(f); }
};
using ScopedFile = std::unique_ptr<FILE, FileCloser>;

ScopedFile OpenForReading(const wchar_t* path) {
  std::string narrow = Utf8FromWide(path, wcslen(path));
  return ScopedFile(fopen(narrow.c_str(), "rb"));
}

bool FileSize(FILE* f, uint64_t& size) {
  if (fseeko(f, 0, SEEK_END) != 0) return false;
  off_t end = ftello(f);
  if (end < 0 || fseeko(f, 0, SEEK_SET) != 0) return false;
  size = static_cast<uint64_t>(end);
  return true;
}

class FileSource : public PackageSource {
 public:
  FileSource(ScopedFile file, uint64_t size) : file_(std::move(file)), size_(size) {}
  uint64_t Size() const override { return size_; }
  size_t ReadAt(uint64_t offset, void* buffer, size_t length) override {
    if (offset >= size_ || fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return 0;
    return fread(buffer, 1, length, file_.get());
  }

 private:
  ScopedFile file_;
  uint64_t size_;
};

}  // namespace

SkinFileResult ReadWholeSkinFile(const wchar_t* path, uint64_t maxBytes, std::vector<uint8_t>& bytes) {
  bytes.clear();
  ScopedFile file = OpenForReading(path);
  uint64_t size = 0;
  if (!file || !FileSize(file.get(), size)) return SkinFileResult::kOpenFailed;
  if (size == 0) return SkinFileResult::kEmpty;
  if (size > maxBytes) return SkinFileResult::kTooLarge;
  bytes.resize(static_cast<size_t>(size));
  if (fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
    bytes.clear();
    return SkinFileResult::kShortRead;
  }
  return SkinFileResult::kOk;
}

std::unique_ptr<PackageSource> OpenPackageFileSource(const wchar_t* path) {
  ScopedFile file = OpenForReading(path);
  uint64_t size = 0;
  if (!file || !FileSize(file.get(), size)) return nullptr;
  return std::make_unique<FileSource>(std::move(file), size);
}

}  // namespace MarkupUI
