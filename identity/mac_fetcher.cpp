#include "identity/mac_fetcher.h"

#include <cstring>

#include "identity/profile_check.h"

namespace XvMacID {
namespace {

const uint8_t kFixedMac[6] = {0x1a, 0x2b, 0x3c, 0x4d, 0x5e, 0x6f};

bool AllZero(const uint8_t mac[6]) {
  for (int i = 0; i < 6; ++i) {
    if (mac[i] != 0) return false;
  }
  return true;
}

}  // namespace

int ClassifyConnection(const AdapterConnection& connection) {
  if (!connection.hasMediaSubType || !connection.hasPnpInstanceId) return 3;
  switch (connection.mediaSubType) {
    case 1:
      return connection.pnpInstanceId.compare(0, 3, L"PCI") == 0 ? 0 : 2;
    case 2:
      return 1;
    default:
      return 3;
  }
}

CMacFetcher::CMacFetcher(const AdapterSource& source) : source_(source) {}
CMacFetcher::~CMacFetcher() = default;

bool CMacFetcher::FromAdapterList(uint8_t mac[6]) const {
  std::vector<AdapterRecord> adapters;
  if (!source_.ListAdapters(&adapters)) return false;
  bool chosen = false;
  int bestClass = 3;
  uint8_t choice[6] = {};
  for (const AdapterRecord& adapter : adapters) {
    const int adapterClass = source_.Classify(adapter.name);
    const bool wiredOrDialUp = adapter.type == kIfTypeEthernet || adapter.type == kIfTypePpp;
    if (!chosen || (wiredOrDialUp && adapterClass < bestClass)) {
      std::memcpy(choice, adapter.address, 6);
      bestClass = adapterClass;
      chosen = true;
    }
  }
  if (AllZero(choice)) return false;
  std::memcpy(mac, choice, 6);
  return true;
}

bool CMacFetcher::FromNetBios(uint8_t mac[6]) const {
  const std::vector<uint8_t> lanas = source_.NetBiosAdapters();
  for (auto lana = lanas.rbegin(); lana != lanas.rend(); ++lana) {
    uint8_t address[6];
    if (source_.NetBiosAddress(*lana, address) && !AllZero(address)) {
      std::memcpy(mac, address, 6);
      return true;
    }
  }
  return false;
}

bool CMacFetcher::GetMac(uint8_t mac[6]) const {
  if (FromAdapterList(mac) || FromNetBios(mac)) return true;
  std::memcpy(mac, kFixedMac, 6);
  return true;
}

std::string MacText(const uint8_t mac[6]) { return HexLower(mac, 6); }

}  // namespace XvMacID
