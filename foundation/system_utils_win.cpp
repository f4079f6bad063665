#include "foundation/system_utils.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "foundation/scoped_handle.h"
#include "foundation/text_convert.h"

namespace rezorev {
namespace {

// The module path of the running program. Grows the buffer for paths beyond MAX_PATH rather
// than working with a truncated name.
std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0) return std::wstring();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return std::wstring();
    path.resize(path.size() * 2);
  }
}

bool IsDotEntry(const wchar_t* name) {
  return ::lstrcmpiW(name, L".") == 0 || ::lstrcmpiW(name, L"..") == 0;
}

}  // namespace

std::wstring ProgramFileName() {
  const std::wstring path = ModulePath();
  return path.substr(path.find_last_of(L'\\') + 1);  // npos + 1 == 0: the whole path
}

std::wstring ProgramDirectory() {
  const std::wstring module = ModulePath();
  if (module.empty()) return std::wstring();
  DWORD needed = ::GetFullPathNameW(module.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::wstring();
  std::wstring full(needed, L'\0');
  DWORD length = ::GetFullPathNameW(module.c_str(), needed, &full[0], nullptr);
  if (length == 0 || length >= needed) return std::wstring();
  full.resize(length);
  const size_t slash = full.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash);
}

std::wstring LocalAppDataFolder() {
  wchar_t path[MAX_PATH] = L"";
  if (!::SHGetSpecialFolderPathW(nullptr, path, CSIDL_LOCAL_APPDATA, TRUE)) return std::wstring();
  return path;
}

void EnsureFolder(const std::wstring& path) {
  if (!FileExists(path)) ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
}

bool FileExists(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != FALSE;
}

bool RemoveFile(const std::wstring& path) { return ::DeleteFileW(path.c_str()) != FALSE; }

bool MoveFileTo(const std::wstring& from, const std::wstring& to) {
  return ::MoveFileW(from.c_str(), to.c_str()) != FALSE;
}

bool RemoveFolderTree(const std::wstring& path, std::vector<std::wstring>& failed) {
  std::wstring folder = path;
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';

  bool removedAll = true;
  {
    WIN32_FIND_DATAW entry;
    ScopedFindHandle find(::FindFirstFileW((folder + L"*").c_str(), &entry));
    if (!find.IsValid()) return false;
    do {
      const std::wstring entryPath = folder + entry.cFileName;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (IsDotEntry(entry.cFileName)) continue;
        // A junction or directory link is removed as a link; following it would delete files
        // that belong somewhere else.
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
            !RemoveFolderTree(entryPath, failed)) {
          removedAll = false;
        }
        ::RemoveDirectoryW(entryPath.c_str());
      } else if (!::DeleteFileW(entryPath.c_str())) {
        failed.push_back(entryPath);
        removedAll = false;
      }
    } while (::FindNextFileW(find.Get(), &entry));
  }  // the listing is closed before the folder itself goes
  ::RemoveDirectoryW(folder.c_str());
  return removedAll;
}

bool RunProgram(const std::wstring& file, const std::wstring& parameters, bool hidden,
                uint32_t* exitCode) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = nullptr;
  info.nShow = hidden ? SW_HIDE : SW_SHOW;
  if (!::ShellExecuteExW(&info)) return false;

  // The process handle is ours whether or not we wait on it.
  ScopedKernelHandle process(info.hProcess);
  if (exitCode == nullptr) return true;
  DWORD code = 0;
  if (!process.IsValid() || ::WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0 ||
      !::GetExitCodeProcess(process.Get(), &code)) {
    return false;
  }
  *exitCode = code;
  return true;
}

bool ContainsDbcsLeadByte(const std::wstring& text) {
  for (char byte : Utf16ToAnsi(text)) {
    if (::IsDBCSLeadByte(static_cast<BYTE>(byte))) return true;
  }
  return false;
}

}  // namespace rezorev
