#include "uitoolkit/skin_source.h"

#include <cwchar>

#include "uitoolkit/markup.h"
#include "uitoolkit/skin_file.h"
#include "uitoolkit/wide_utf8.h"

namespace MarkupUI {

SkinSourceState& SkinSources() {
  static SkinSourceState* state = new SkinSourceState();  // lives for the process
  return *state;
}

namespace {

bool PackageInUse() { return !SkinSources().packageName.IsEmpty(); }

// The package to read from: the held one, else one opened for this read only (owned by `opened`).
UiPackage* PackageForRead(ScopedPackage& opened) {
  SkinSourceState& state = SkinSources();
  if (state.packageCached && state.package) return state.package.get();
  UiString path = state.resourceFolder;
  path += state.packageName;
  std::string password = Utf8FromWide(state.packagePassword.c_str(), state.packagePassword.Length());
  opened.reset(OpenPackageFile(path.c_str(), password.c_str()));
  return opened.get();
}

UiString EntryName(const wchar_t* name) {
  UiString entry(name);
  entry.Replace(L"\\", L"/");
  return entry;
}

enum class EntryRead { kOk, kNotFound, kEmpty, kTooLarge, kFailed };

EntryRead ReadEntry(UiPackage* package, const wchar_t* name, uint32_t maxBytes, std::vector<uint8_t>& bytes) {
  PackageEntryInfo info;
  if (FindPackageEntry(package, EntryName(name).c_str(), &info) != kPackageOk) return EntryRead::kNotFound;
  if (info.uncompressedSize == 0) return EntryRead::kEmpty;
  if (info.uncompressedSize > maxBytes) return EntryRead::kTooLarge;
  bytes.resize(info.uncompressedSize);
  uint32_t code = ExtractPackageEntry(package, info.index, bytes.data(), info.uncompressedSize);
  if (code != kPackageOk && code != kPackageMore) {
    bytes.clear();
    return EntryRead::kFailed;
  }
  return EntryRead::kOk;
}

}  // namespace

const wchar_t* ReadMarkupFile(const wchar_t* name, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (name == nullptr) name = L"";
  if (PackageInUse()) {
    ScopedPackage opened;
    UiPackage* package = PackageForRead(opened);
    if (package == nullptr) return CXmlMarkup::kErrorOpenZip;
    switch (ReadEntry(package, name, CXmlMarkup::kMaxFileBytes, bytes)) {
      case EntryRead::kOk: return nullptr;
      case EntryRead::kNotFound: return CXmlMarkup::kErrorNoEntry;
      case EntryRead::kEmpty: return CXmlMarkup::kErrorEmpty;
      case EntryRead::kTooLarge: return CXmlMarkup::kErrorTooLarge;
      case EntryRead::kFailed: return CXmlMarkup::kErrorUnzip;
    }
    return CXmlMarkup::kErrorUnzip;
  }
  UiString path = SkinSources().resourceFolder;
  path += name;
  switch (ReadWholeSkinFile(path.c_str(), CXmlMarkup::kMaxFileBytes, bytes)) {
    case SkinFileResult::kOk: return nullptr;
    case SkinFileResult::kOpenFailed: return CXmlMarkup::kErrorOpenFile;
    case SkinFileResult::kEmpty: return CXmlMarkup::kErrorEmpty;
    case SkinFileResult::kTooLarge: return CXmlMarkup::kErrorTooLarge;
    case SkinFileResult::kShortRead: return CXmlMarkup::kErrorReadFile;
  }
  return CXmlMarkup::kErrorReadFile;
}

bool ReadSkinFile(const wchar_t* name, bool fallBackToPath, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (name == nullptr || *name == L'\0') return false;
  bool ok;
  if (PackageInUse()) {
    ScopedPackage opened;
    UiPackage* package = PackageForRead(opened);
    ok = package != nullptr && ReadEntry(package, name, kMaxSkinFileBytes, bytes) == EntryRead::kOk;
  } else {
    UiString path = SkinSources().resourceFolder;
    path += name;
    ok = ReadWholeSkinFile(path.c_str(), kMaxSkinFileBytes, bytes) == SkinFileResult::kOk;
  }
  if (!ok && fallBackToPath) ok = ReadWholeSkinFile(name, kMaxSkinFileBytes, bytes) == SkinFileResult::kOk;
  if (!ok) bytes.clear();
  return ok;
}

}  // namespace MarkupUI
