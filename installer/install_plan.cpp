// Install plan: which catalogue item each enabled component installs, in the fixed component order.
#include "foundation/logger.h"
#include "installer/component_table.h"
#include "installer/install_engine.h"

CInstallEngine::CInstallEngine(const ChannelParams& params) : params_(params) {}

CInstallEngine::~CInstallEngine() = default;

void CInstallEngine::OnInstallComplete() {}

void CInstallEngine::OnInstallError() {}

void CInstallEngine::PostDownloadProgress(uint32_t) {}

void CInstallEngine::PostInstallingTimer(bool) {}

void CInstallEngine::PostProgressComplete() {}

bool CInstallEngine::CreateIconSelected() const { return true; }

void CInstallEngine::CloseAfterFinish() {}

bool IsSafeCatalogueName(const std::wstring& path) {
  if (path.empty()) return true;
  if (path.find(L':') != std::wstring::npos) return false;  // a drive, or a stream name
  if (path[0] == L'\\' || path[0] == L'/') return false;     // rooted
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of(L"\\/", start);
    if (end == std::wstring::npos) end = path.size();
    // Windows drops trailing dots and spaces from a name, so ". .", "..." and ".. " all mean a
    // parent or the folder itself: no component may consist of dots and spaces alone.
    const std::wstring component = path.substr(start, end - start);
    if (!component.empty() && component.find_first_not_of(L". ") == std::wstring::npos) return false;
    start = end + 1;
  }
  return true;
}

bool CInstallEngine::AllComponentsInstalled() const {
  for (const auto& entry : localInfo_)
    if (!entry.second.installed_) return false;
  return true;
}

bool CInstallEngine::GetNeedInstallComponentItems() {
  installList_.clear();
  for (const ComponentInfo& component : ComponentTable()) {
    if (!(params_.*component.enabledBy)) continue;
    auto channel = channelItems_.find(component.id);
    const ComponentItem* item = nullptr;
    if (channel != channelItems_.end()) {
      item = &channel->second;
    } else {
      auto common = commonItems_.find(component.id);
      if (common != commonItems_.end()) item = &common->second;
    }
    if (item == nullptr) {
      // Installing an item the catalogue does not describe would work on an empty name, URL and
      // digest: the catalogue is unusable for this channel.
      LOG_ERROR("Component") << "component " << component.id
                             << " is enabled but the catalogue lists it neither for this channel nor in common.";
      SetResultCode(3);
      return false;
    }
    // The catalogue names files and folders below the download and install folders, and the
    // component's key below the machine root: anything that would reach outside them is refused.
    if (item->name_.empty() || !IsSafeCatalogueName(item->name_) || !IsSafeCatalogueName(item->localAddPath_) ||
        item->registryKey_.empty()) {
      LOG_ERROR("Component") << "component " << component.id << " has an unsafe or missing name, local path or key"
                             << " in the catalogue: name [" << item->name_ << "] localaddpath ["
                             << item->localAddPath_ << "] key [" << item->registryKey_ << "]";
      SetResultCode(3);
      return false;
    }
    installList_.push_back(*item);
    LOG_INFO("Component") << "need install component: " << component.id;
  }
  return true;
}
