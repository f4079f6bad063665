// Installed-state probe: a component counts as installed when its registry key names an install
// folder that holds every key file and has a readable Version.
#include <windows.h>

#include "foundation/logger.h"
#include "foundation/xml_tree.h"
#include "installer/component_table.h"
#include "installer/install_engine.h"
#include "registry/registry_key.h"

namespace {

// Reads a string value of at most 260 characters; false when it is missing or not a string.
bool ReadShortString(rezorev::RegistryKey& key, const wchar_t* name, std::wstring& out) {
  wchar_t buffer[MAX_PATH] = {};
  DWORD length = MAX_PATH;
  if (key.ReadString(name, buffer, &length) != ERROR_SUCCESS) return false;
  out.assign(buffer);
  return true;
}

}  // namespace

int32_t CInstallEngine::ProbeInstalledComponent(int32_t id, ComponentLocalInfo& info) {
  const ComponentInfo* component = FindComponentInfo(id);
  if (component == nullptr) return 0;
  rezorev::RegistryKey key;
  if (key.Open(HKEY_LOCAL_MACHINE, component->registryKey, KEY_READ | KEY_WRITE) != ERROR_SUCCESS) return 0;
  std::wstring installPath;
  if (!ReadShortString(key, L"InstallPath", installPath)) return 0;
  std::wstring folder = installPath;
  if (folder.empty() || folder.back() != L'\\') folder.push_back(L'\\');
  for (const wchar_t* file : component->keyFiles)
    if (::GetFileAttributesW((folder + file).c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
  std::wstring version;
  if (!ReadShortString(key, L"Version", version)) return 0;
  info.version_ = version;
  info.installPath_ = installPath;
  info.installed_ = true;
  return 0;
}

void CInstallEngine::GetNeedInstallComponentLocalInfo() {
  for (const ComponentInfo& component : ComponentTable()) {
    if (!(params_.*component.enabledBy)) continue;
    ComponentLocalInfo& info = localInfo_[component.id];
    ProbeInstalledComponent(component.id, info);
    LOG_INFO("MainWnd") << "get component id: " << component.id << " installed: "
                        << (info.installed_ ? "true" : "false");
    if (info.installed_)
      LOG_INFO("MainWnd") << "version :" << info.version_ << " path: " << info.installPath_;
  }
}

bool CInstallEngine::ParseComponentXml(const std::wstring& path) {
  if (path.empty()) {
    LOG_ERROR("Component") << "xml path is null!";
    SetResultCode(1);
    return false;
  }
  rezorev::XmlTree tree;
  if (!tree.Load(path) || tree.Root() == nullptr) {
    LOG_ERROR("Component") << "load component xml failed.";
    SetResultCode(3);
    return false;
  }
  ParseCatalogueRoot(*tree.Root());
  return true;
}
