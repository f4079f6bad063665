// Install plan: which catalogue item each enabled component installs, in the fixed component order.
#include "foundation/logger.h"
#include "installer/component_table.h"
#include "installer/install_engine.h"

CInstallEngine::CInstallEngine(const ChannelParams& params) : params_(params) {}

CInstallEngine::~CInstallEngine() = default;

void CInstallEngine::OnInstallComplete() {}

void CInstallEngine::OnInstallError() {}

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
    installList_.push_back(*item);
    LOG_INFO("Component") << "need install component: " << component.id;
  }
  return true;
}
