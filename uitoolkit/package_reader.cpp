// Skin package reader. Sections: sources and handles; opening (end record, central directory);
// lookup and entry information; extraction (stored, deflated, CRC check); safe names.
#include "uitoolkit/package_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "uitoolkit/wide_utf8.h"

namespace MarkupUI {

namespace {

constexpr uint32_t kEndRecordSignature = 0x06054b50;
constexpr uint32_t kDirectorySignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kDirectoryHeaderSize = 46;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kMaxCommentSize = 0xFFFF;
constexpr size_t kMaxLookupNameBytes = 255;
constexpr size_t kReadChunk = 64 * 1024;

uint32_t g_lastResult = kPackageOk;

uint32_t Result(uint32_t code) {
  g_lastResult = code;
  return code;
}

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

class MemorySource : public PackageSource {
 public:
  MemorySource(const void* bytes, size_t length) : bytes_(static_cast<const uint8_t*>(bytes)), length_(length) {}
  uint64_t Size() const override { return length_; }
  size_t ReadAt(uint64_t offset, void* buffer, size_t length) override {
    if (offset >= length_) return 0;
    size_t n = std::min<uint64_t>(length, length_ - offset);
    if (n == 0) return 0;
    memcpy(buffer, bytes_ + offset, n);
    return n;
  }

 private:
  const uint8_t* bytes_;
  size_t length_;
};

// Days from 1601-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysSince1601(int year, int month, int day) {
  year -= month <= 2;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t yoe = year - era * 400;
  int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  int64_t daysSince1970 = era * 146097 + doe - 719468;
  return daysSince1970 + 134774;  // 1601-01-01 .. 1970-01-01
}

uint64_t DosTimeToFileTime(uint16_t date, uint16_t time) {
  int year = 1980 + (date >> 9);
  int month = std::clamp((date >> 5) & 0x0F, 1, 12);
  int day = std::max(date & 0x1F, 1);
  int seconds = ((time >> 11) & 0x1F) * 3600 + ((time >> 5) & 0x3F) * 60 + (time & 0x1F) * 2;
  return static_cast<uint64_t>(DaysSince1601(year, month, day) * 86400 + seconds) * 10000000ull;
}

}  // namespace

// --- sources and handles ---

struct UiPackage {
  static constexpr uint32_t kMarker = 1;
  uint32_t marker = kMarker;
  std::unique_ptr<PackageSource> source;
  std::vector<uint8_t> directory;     // the central directory, copied once at open
  std::vector<uint32_t> entryOffsets; // start of each entry within `directory`
  std::string password;
};

namespace {

bool IsValid(const UiPackage* package) { return package != nullptr && package->marker == UiPackage::kMarker; }

uint32_t CheckHandle(const UiPackage* package) {
  if (package == nullptr) return kPackageInvalidArgument;
  if (package->marker != UiPackage::kMarker) return kPackageBadHandle;
  return kPackageOk;
}

// Finds the end record and reads the central directory into the package. Returns false when the
// source holds no consistent single-disk directory.
bool ReadDirectory(UiPackage& package) {
  PackageSource& source = *package.source;
  uint64_t size = source.Size();
  if (size < kEndRecordSize) return false;
  size_t tailLength = static_cast<size_t>(std::min<uint64_t>(size, kEndRecordSize + kMaxCommentSize));
  std::vector<uint8_t> tail(tailLength);
  uint64_t tailStart = size - tailLength;
  if (source.ReadAt(tailStart, tail.data(), tailLength) != tailLength) return false;

  for (size_t i = tailLength - kEndRecordSize + 1; i-- > 0;) {
    const uint8_t* record = tail.data() + i;
    if (Le32(record) != kEndRecordSignature) continue;
    uint16_t disk = Le16(record + 4);
    uint16_t directoryDisk = Le16(record + 6);
    uint16_t entriesHere = Le16(record + 8);
    uint16_t entries = Le16(record + 10);
    uint32_t directorySize = Le32(record + 12);
    uint32_t directoryOffset = Le32(record + 16);
    uint64_t recordOffset = tailStart + i;
    if (disk != 0 || directoryDisk != 0 || entriesHere != entries) return false;
    if (static_cast<uint64_t>(directoryOffset) + directorySize > recordOffset) return false;
    // Each entry takes at least a fixed header: a count the directory cannot hold is a lie.
    if (static_cast<uint64_t>(entries) * kDirectoryHeaderSize > directorySize) return false;

    package.directory.resize(directorySize);
    if (source.ReadAt(directoryOffset, package.directory.data(), directorySize) != directorySize) return false;
    package.entryOffsets.reserve(entries);
    size_t offset = 0;
    for (uint16_t e = 0; e < entries; ++e) {
      if (directorySize - offset < kDirectoryHeaderSize) return false;
      const uint8_t* header = package.directory.data() + offset;
      if (Le32(header) != kDirectorySignature) return false;
      size_t total = kDirectoryHeaderSize + Le16(header + 28) + Le16(header + 30) + Le16(header + 32);
      if (directorySize - offset < total) return false;
      package.entryOffsets.push_back(static_cast<uint32_t>(offset));
      offset += total;
    }
    return true;
  }
  return false;
}

UiPackage* Open(std::unique_ptr<PackageSource> source, const char* password) {
  if (!source) {
    Result(kPackageNoArchive);
    return nullptr;
  }
  auto package = std::make_unique<UiPackage>();
  package->source = std::move(source);
  if (password != nullptr) package->password = password;
  if (!ReadDirectory(*package)) {
    Result(kPackageNoArchive);
    return nullptr;
  }
  Result(kPackageOk);
  return package.release();
}

const uint8_t* DirectoryHeader(const UiPackage& package, int index) {
  return package.directory.data() + package.entryOffsets[static_cast<size_t>(index)];
}

}  // namespace

UiPackage* OpenPackageMemory(const void* bytes, size_t length, const char* password) {
  if (bytes == nullptr) length = 0;
  return Open(std::make_unique<MemorySource>(bytes, length), password);
}

UiPackage* OpenPackageFile(const wchar_t* path, const char* password) {
  return Open(path != nullptr ? OpenPackageFileSource(path) : nullptr, password);
}

UiPackage* OpenPackageSource(std::unique_ptr<PackageSource> source, const char* password) {
  return Open(std::move(source), password);
}

uint32_t ClosePackage(UiPackage* package) {
  if (uint32_t code = CheckHandle(package)) return Result(code);
  package->marker = 0;
  delete package;
  return Result(kPackageOk);
}

uint32_t LastPackageResult() { return g_lastResult; }

void SetLastPackageResult(uint32_t code) { g_lastResult = code; }

int PackageEntryCount(const UiPackage* package) {
  return IsValid(package) ? static_cast<int>(package->entryOffsets.size()) : 0;
}

// --- lookup and entry information ---

uint32_t PackageEntryAt(UiPackage* package, int index, PackageEntryInfo* info) {
  if (uint32_t code = CheckHandle(package)) return Result(code);
  if (info == nullptr || index < 0 || index >= PackageEntryCount(package)) return Result(kPackageInvalidArgument);
  const uint8_t* header = DirectoryHeader(*package, index);
  uint16_t flags = Le16(header + 8);
  uint16_t nameLength = Le16(header + 28);
  std::wstring rawName = WideFromUtf8(reinterpret_cast<const char*>(header + kDirectoryHeaderSize), nameLength);
  info->index = index;
  info->name = SafeEntryName(rawName);
  info->method = Le16(header + 10);
  info->encrypted = (flags & 1) != 0;
  info->compressedSize = Le32(header + 20);
  info->uncompressedSize = Le32(header + 24);
  uint32_t external = Le32(header + 38);
  info->attributes = external & (kEntryReadOnly | kEntryHidden | kEntrySystem | kEntryDirectory | kEntryArchive);
  if (!rawName.empty() && (rawName.back() == L'/' || rawName.back() == L'\\')) info->attributes |= kEntryDirectory;
  uint64_t time = DosTimeToFileTime(Le16(header + 14), Le16(header + 12));
  info->accessTime = info->creationTime = info->modificationTime = time;
  return Result(kPackageOk);
}

uint32_t FindPackageEntry(UiPackage* package, const wchar_t* name, PackageEntryInfo* info) {
  if (info != nullptr) info->index = -1;
  if (uint32_t code = CheckHandle(package)) return Result(code);
  if (name == nullptr) return Result(kPackageInvalidArgument);
  std::string wanted = Utf8FromWide(name, wcslen(name));
  if (wanted.size() > kMaxLookupNameBytes) return Result(kPackageNotFound);
  auto fold = [](uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 'a' + 'A') : c; };
  for (int i = 0; i < PackageEntryCount(package); ++i) {
    const uint8_t* header = DirectoryHeader(*package, i);
    if (Le16(header + 28) != wanted.size()) continue;
    const uint8_t* stored = header + kDirectoryHeaderSize;
    bool equal = true;
    for (size_t k = 0; k < wanted.size() && equal; ++k)
      equal = fold(stored[k]) == fold(static_cast<uint8_t>(wanted[k]));
    if (!equal) continue;
    if (info == nullptr) return Result(kPackageOk);
    return PackageEntryAt(package, i, info);
  }
  return Result(kPackageNotFound);
}

// --- extraction ---

namespace {

uint32_t ExtractStored(PackageSource& source, uint64_t dataOffset, uint32_t size, uint32_t crc, uint8_t* buffer,
                       uint32_t length) {
  uint32_t wanted = std::min(size, length);
  if (wanted == 0) return size == 0 ? kPackageOk : kPackageMore;
  if (source.ReadAt(dataOffset, buffer, wanted) != wanted) return kPackageCorrupt;
  if (wanted < size) return kPackageMore;
  return static_cast<uint32_t>(crc32(0L, buffer, wanted)) == crc ? kPackageOk : kPackageCorrupt;
}

uint32_t ExtractDeflated(PackageSource& source, uint64_t dataOffset, uint32_t compressedSize,
                         uint32_t uncompressedSize, uint32_t crc, uint8_t* buffer, uint32_t length) {
  z_stream stream{};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return kPackageCorrupt;
  struct EndInflate {
    z_stream* s;
    ~EndInflate() { inflateEnd(s); }
  } endInflate{&stream};

  std::vector<uint8_t> input(std::min<size_t>(kReadChunk, std::max<uint32_t>(compressedSize, 1)));
  uint64_t readOffset = dataOffset;
  uint32_t remaining = compressedSize;
  uint8_t probe = 0;
  bool probing = false;  // the buffer is full: does the stream still hold data?
  stream.next_out = buffer;
  stream.avail_out = length;
  for (;;) {
    if (stream.avail_in == 0 && remaining > 0) {
      size_t chunk = std::min<size_t>(input.size(), remaining);
      if (source.ReadAt(readOffset, input.data(), chunk) != chunk) return kPackageCorrupt;
      readOffset += chunk;
      remaining -= static_cast<uint32_t>(chunk);
      stream.next_in = input.data();
      stream.avail_in = static_cast<uInt>(chunk);
    }
    if (!probing && stream.avail_out == 0) {
      probing = true;
      stream.next_out = &probe;
      stream.avail_out = 1;
    }
    int rc = inflate(&stream, Z_NO_FLUSH);
    if (probing && stream.avail_out == 0) return kPackageMore;
    if (rc == Z_STREAM_END) break;
    if (rc == Z_BUF_ERROR && stream.avail_in == 0 && remaining == 0) return kPackageCorrupt;  // truncated
    if (rc != Z_OK && rc != Z_BUF_ERROR) return kPackageCorrupt;
  }
  uint32_t delivered = probing ? length : length - stream.avail_out;
  if (delivered != uncompressedSize) return kPackageCorrupt;
  return static_cast<uint32_t>(crc32(0L, buffer, delivered)) == crc ? kPackageOk : kPackageCorrupt;
}

}  // namespace

uint32_t ExtractPackageEntry(UiPackage* package, int index, void* buffer, uint32_t length) {
  if (uint32_t code = CheckHandle(package)) return Result(code);
  if (index < 0 || index >= PackageEntryCount(package) || (buffer == nullptr && length > 0))
    return Result(kPackageInvalidArgument);
  const uint8_t* header = DirectoryHeader(*package, index);
  uint16_t flags = Le16(header + 8);
  uint16_t method = Le16(header + 10);
  uint32_t crc = Le32(header + 16);
  uint32_t compressedSize = Le32(header + 20);
  uint32_t uncompressedSize = Le32(header + 24);
  uint32_t localOffset = Le32(header + 42);
  // Traditional encryption is not decoded: the program's packages carry no password.
  if (flags & 1) return Result(kPackagePassword);

  PackageSource& source = *package->source;
  uint8_t local[kLocalHeaderSize];
  if (source.ReadAt(localOffset, local, sizeof local) != sizeof local || Le32(local) != kLocalSignature)
    return Result(kPackageCorrupt);
  uint64_t dataOffset = static_cast<uint64_t>(localOffset) + kLocalHeaderSize + Le16(local + 26) + Le16(local + 28);
  if (dataOffset + compressedSize > source.Size()) return Result(kPackageCorrupt);

  auto* out = static_cast<uint8_t*>(buffer);
  switch (method) {
    case 0:
      if (compressedSize != uncompressedSize) return Result(kPackageCorrupt);
      return Result(ExtractStored(source, dataOffset, uncompressedSize, crc, out, length));
    case 8:
      return Result(ExtractDeflated(source, dataOffset, compressedSize, uncompressedSize, crc, out, length));
    default:
      return Result(kPackageCorrupt);
  }
}

// --- safe names ---

std::wstring SafeEntryName(const std::wstring& name) {
  static const wchar_t* const kParentSteps[] = {L"\\..\\", L"\\../", L"/../", L"/..\\"};
  std::wstring rest = name;
  for (bool changed = true; changed;) {
    changed = false;
    if (rest.size() >= 2 && rest[1] == L':') {
      rest.erase(0, 2);
      changed = true;
    }
    if (!rest.empty() && (rest[0] == L'\\' || rest[0] == L'/')) {
      rest.erase(0, 1);
      changed = true;
    }
    if (rest.size() >= 3 && rest[0] == L'.' && rest[1] == L'.' && (rest[2] == L'\\' || rest[2] == L'/')) {
      rest.erase(0, 3);
      changed = true;
    }
    for (const wchar_t* step : kParentSteps) {
      size_t hit = rest.find(step);
      if (hit != std::wstring::npos) {
        rest.erase(0, hit + 4);
        changed = true;
        break;
      }
    }
  }
  return rest;
}

}  // namespace MarkupUI
