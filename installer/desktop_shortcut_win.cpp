#include "installer/desktop_shortcut_win.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "foundation/scoped_handle.h"
#include "foundation/system_utils.h"
#include "installer/component_table.h"
#include "installer/launcher_command_line.h"
#include "registry/registry_key.h"

namespace {

constexpr int kGameIconResource = 134;

// Owner of one COM interface pointer.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* operator->() const { return p_; }
  T** Receive() { return &p_; }
  void** ReceiveVoid() { return reinterpret_cast<void**>(&p_); }

 private:
  T* p_ = nullptr;
};

bool IsFolder(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The launcher's install folder from its component key; "" when it cannot be read.
std::wstring LauncherFolderFromRegistry() {
  rezorev::RegistryKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, FindComponentInfo(7)->registryKey, KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
    return std::wstring();
  wchar_t buffer[MAX_PATH] = {};
  DWORD length = MAX_PATH;
  if (key.ReadString(L"InstallPath", buffer, &length) != ERROR_SUCCESS) return std::wstring();
  return buffer;
}

}  // namespace

std::wstring WriteGameIcon(const std::wstring& launcherFolder, const std::wstring& packageName) {
  const std::wstring folder = launcherFolder + L"\\Icons\\" + packageName;
  if (!IsFolder(folder)) rezorev::EnsureFolder(folder);
  const std::wstring file = folder + L"\\Game.Ico";

  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(kGameIconResource), L"CUSTOM");
  if (resource == nullptr) return std::wstring();
  DWORD size = ::SizeofResource(module, resource);
  HGLOBAL loaded = ::LoadResource(module, resource);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (size == 0 || bytes == nullptr) return std::wstring();

  rezorev::ScopedHandle out(::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out.IsValid()) return std::wstring();
  DWORD written = 0;
  if (!::WriteFile(out.Get(), bytes, size, &written, nullptr) || written != size) return std::wstring();
  return file;
}

void CreateGameShortcut(const std::wstring& packageName, const std::wstring& gameName, const std::wstring& extraParams,
                        const std::wstring& iconPath) {
  const std::wstring target = LauncherFolderFromRegistry() + L"\\Lumaport.exe";
  const std::wstring arguments = BuildGameShortcutArguments(packageName, extraParams);
  PlaceDesktopLink(target, gameName + L".lnk", arguments.c_str(), gameName, iconPath.c_str());
}

void CreateBrandShortcut(const std::wstring& launcherProgram, bool international) {
  const std::wstring name = BrandShortcutName(international);
  PlaceDesktopLink(launcherProgram, name + L".lnk", nullptr, name, nullptr);
}

HRESULT PlaceDesktopLink(const std::wstring& target, const std::wstring& linkFileName, const wchar_t* arguments,
                         const std::wstring& description, const wchar_t* iconPath) {
  wchar_t desktop[MAX_PATH] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOPDIRECTORY, TRUE)) return 1;
  const std::wstring linkPath = std::wstring(desktop) + L"\\" + linkFileName;
  if (rezorev::FileExists(linkPath)) ::DeleteFileW(linkPath.c_str());
  return CreateShellLink(target, linkPath, arguments, description, iconPath);
}

HRESULT CreateShellLink(const std::wstring& target, const std::wstring& linkPath, const wchar_t* arguments,
                        const std::wstring& description, const wchar_t* iconPath) {
  ComPtr<IShellLinkW> link;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.ReceiveVoid());
  if (FAILED(hr)) return hr;
  link->SetPath(target.c_str());
  link->SetDescription(description.c_str());
  if (arguments != nullptr) link->SetArguments(arguments);
  if (iconPath != nullptr) link->SetIconLocation(iconPath, 0);
  ComPtr<IPersistFile> file;
  hr = link->QueryInterface(IID_IPersistFile, file.ReceiveVoid());
  if (FAILED(hr)) return hr;
  return file->Save(linkPath.c_str(), TRUE);
}
