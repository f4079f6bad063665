#include "identity/profile_store_win.h"

#include <windows.h>
#include <shlobj.h>

#include "foundation/text_convert.h"

namespace XvMacID {
namespace {

constexpr wchar_t kSection[] = L"Profile";

// The roaming application-data folder, created when missing; empty on failure.
std::wstring RoamingFolder() {
  wchar_t path[MAX_PATH] = L"";
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, path))) {
    return std::wstring();
  }
  return path;
}

// A folder that exists already, or that we may not create but may still reach, is fine: the
// file open after it decides.
bool CreateFolderTolerant(const std::wstring& path) {
  if (::CreateDirectoryW(path.c_str(), nullptr)) return true;
  const DWORD error = ::GetLastError();
  return error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED;
}

HANDLE OpenProfileFile(const std::wstring& path, DWORD disposition) {
  return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadText(const wchar_t* key, const std::wstring& path) {
  wchar_t value[33] = L"";  // 32 hex digits and the terminating zero
  const DWORD length = ::GetPrivateProfileStringW(kSection, key, L"", value, 33, path.c_str());
  return rezorev::Utf16ToAnsi(value, int(length));
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  return ::WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace

ProfileFileStore::ProfileFileStore() = default;
ProfileFileStore::~ProfileFileStore() = default;

std::wstring ProfileFileStore::DefaultPath() {
  const std::wstring roaming = RoamingFolder();
  if (roaming.empty()) return std::wstring();
  return roaming + L"\\Corvel\\Fenwick\\DorazeZud.db";
}

ProfileOpenResult ProfileFileStore::Open() {
  file_.Reset();
  const std::wstring roaming = RoamingFolder();
  if (roaming.empty()) return ProfileOpenResult::kNone;
  const std::wstring company = roaming + L"\\Corvel";
  const std::wstring folder = company + L"\\Fenwick";
  if (!CreateFolderTolerant(company) || !CreateFolderTolerant(folder)) return ProfileOpenResult::kNone;

  path_ = folder + L"\\DorazeZud.db";
  file_.Reset(OpenProfileFile(path_, OPEN_EXISTING));
  if (file_.IsValid()) return ProfileOpenResult::kExisting;
  if (::GetLastError() != ERROR_FILE_NOT_FOUND) return ProfileOpenResult::kNone;
  file_.Reset(OpenProfileFile(path_, CREATE_ALWAYS));
  return file_.IsValid() ? ProfileOpenResult::kCreated : ProfileOpenResult::kNone;
}

StoredProfile ProfileFileStore::Read() {
  StoredProfile stored;
  stored.config1 = ReadText(L"config1", path_);
  stored.config2 = ReadText(L"config2", path_);
  stored.config3 = ReadText(L"config3", path_);
  stored.config4 = ReadText(L"config4", path_);
  stored.config5 = int(::GetPrivateProfileIntW(kSection, L"config5", 0, path_.c_str()));
  return stored;
}

void ProfileFileStore::Rewrite(const std::string& block) {
  if (!file_.IsValid()) return;
  ::SetFilePointer(file_.Get(), 0, nullptr, FILE_BEGIN);
  ::SetEndOfFile(file_.Get());
  LARGE_INTEGER size = {};
  if (!::GetFileSizeEx(file_.Get(), &size) || size.QuadPart != 0) {
    file_.Reset(OpenProfileFile(path_, CREATE_ALWAYS));
    if (!file_.IsValid()) return;
  }
  WriteAll(file_.Get(), block);
  file_.Reset();
}

}  // namespace XvMacID
