// Skin package reader: a ZIP archive (PKWARE APPNOTE, single disk) held in memory or in a file.
//
// Layout read here:
//   end of central directory  "PK\5\6": entry count, directory size and offset (searched backwards
//                             from the end, over at most the 64 KiB archive comment)
//   central directory entries "PK\1\2": method, flags, DOS time/date, CRC-32, sizes, name, offset
//                             of the local header
//   local header              "PK\3\4" + name + extra field, then the entry's data
// Entries are stored (method 0) or deflated (method 8, a raw deflate stream). Sizes and offsets
// are checked against the source before anything is read or allocated; an archive that lies
// about them yields a result code, never a read outside the source.
//
// All operations return a result code (kPackageOk = 0 on success); the last code of any operation
// is also kept process-wide (LastPackageResult).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace MarkupUI {

constexpr uint32_t kPackageOk = 0;
constexpr uint32_t kPackageNoArchive = 0x200;         // cannot open, or no central directory
constexpr uint32_t kPackageNotFound = 0x500;          // no entry of that name
constexpr uint32_t kPackageMore = 0x600;              // buffer full, more data remains
constexpr uint32_t kPackagePassword = 0x1000;         // encrypted entry, password missing or wrong
constexpr uint32_t kPackageInvalidArgument = 0x10000; // no handle, index out of range
constexpr uint32_t kPackageBadHandle = 0x80000;       // not a handle made by this reader
constexpr uint32_t kPackageAlreadyOpen = 0x1000000;
constexpr uint32_t kPackageCannotSeek = 0x2000000;    // the given file handle cannot seek
constexpr uint32_t kPackageCorrupt = 0x5000000;       // decompression or data check failed

// Random-access byte source of an archive.
class PackageSource {
 public:
  virtual ~PackageSource() = default;
  virtual uint64_t Size() const = 0;
  // Reads up to `length` bytes at `offset`; returns the bytes read (fewer at the end).
  virtual size_t ReadAt(uint64_t offset, void* buffer, size_t length) = 0;
};

struct UiPackage;  // an open archive; made by the Open functions, freed by ClosePackage

// Entry attribute bits (the DOS file attributes).
constexpr uint32_t kEntryReadOnly = 0x01;
constexpr uint32_t kEntryHidden = 0x02;
constexpr uint32_t kEntrySystem = 0x04;
constexpr uint32_t kEntryDirectory = 0x10;
constexpr uint32_t kEntryArchive = 0x20;

struct PackageEntryInfo {
  int index = -1;              // position in the central directory; -1 when not found
  std::wstring name;           // UTF-8 name made safe: no drive, no leading slash, no ".." steps
  uint32_t attributes = 0;     // kEntry* bits
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint16_t method = 0;         // 0 stored, 8 deflated
  bool encrypted = false;
  // The entry's DOS date and time as a FILETIME value (100 ns units since 1601, local time);
  // access, creation and modification time are all this value.
  uint64_t accessTime = 0;
  uint64_t creationTime = 0;
  uint64_t modificationTime = 0;
};

// Opening. `password` may be null or empty (no password). On failure returns null and the code is
// left in LastPackageResult(). A memory block is read in place: it must outlive the package.
UiPackage* OpenPackageFile(const wchar_t* path, const char* password);
UiPackage* OpenPackageMemory(const void* bytes, size_t length, const char* password);
UiPackage* OpenPackageSource(std::unique_ptr<PackageSource> source, const char* password);

// Looks `name` up (UTF-16/32 in, compared with the stored UTF-8 names; letters a-z without regard
// to case, every other byte exactly; names over 255 UTF-8 bytes are never found). On success fills
// `info`; otherwise `info->index` is -1 and the result is kPackageNotFound.
uint32_t FindPackageEntry(UiPackage* package, const wchar_t* name, PackageEntryInfo* info);
// Entry by directory position, for listing.
uint32_t PackageEntryAt(UiPackage* package, int index, PackageEntryInfo* info);
int PackageEntryCount(const UiPackage* package);

// Writes up to `length` uncompressed bytes of entry `index` into `buffer`. kPackageOk when the
// whole entry was delivered (and its CRC-32 matched), kPackageMore when the buffer is full and
// data remains, kPackagePassword for an encrypted entry, kPackageCorrupt for any other failure.
uint32_t ExtractPackageEntry(UiPackage* package, int index, void* buffer, uint32_t length);

uint32_t ClosePackage(UiPackage* package);
uint32_t LastPackageResult();
void SetLastPackageResult(uint32_t code);  // for platform openers that fail before reading

struct PackageCloser {
  void operator()(UiPackage* package) const { ClosePackage(package); }
};
using ScopedPackage = std::unique_ptr<UiPackage, PackageCloser>;

// Makes an archive entry name safe to report: repeatedly drops a leading drive ("c:"), a leading
// "\" or "/", a leading "..\" or "../", and everything up to and including the first "\..\",
// "\../", "/../" or "/..\".
std::wstring SafeEntryName(const std::wstring& name);

// Platform file source (package_file_*.cpp): null when the file cannot be opened for reading.
std::unique_ptr<PackageSource> OpenPackageFileSource(const wchar_t* path);

}  // namespace MarkupUI
