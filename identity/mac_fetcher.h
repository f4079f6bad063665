// CMacFetcher: the network adapter address that goes into the machine identifier.
//
// Order of sources:
//  1. the IP Helper adapter list: the first adapter, replaced by a later Ethernet or PPP adapter
//     of a better class (ClassifyAdapter: wired PCI card 0, wireless 1, other wired 2, unknown 3);
//     used when the chosen address is not all zero;
//  2. NetBIOS adapter status of the LAN adapters, last to first: the first non-zero address;
//  3. the fixed address 1A-2B-3C-4D-5E-6F, so that a machine without a readable adapter still
//     gets an identifier.
// The system calls sit behind AdapterSource; the real one is SystemAdapterSource() (Windows).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace XvMacID {

// One entry of the IP Helper adapter list.
struct AdapterRecord {
  std::string name;          // adapter name, "{GUID}"
  uint32_t type = 0;         // interface type: 6 Ethernet, 23 PPP, ...
  uint8_t address[8] = {};   // hardware address; the first 6 bytes are the MAC
};

constexpr uint32_t kIfTypeEthernet = 6;
constexpr uint32_t kIfTypePpp = 23;

class AdapterSource {
 public:
  virtual ~AdapterSource() = default;
  // The IP Helper list in list order; false when it cannot be had (no library, no function, a
  // failed call, or more adapters than the fixed buffer holds).
  virtual bool ListAdapters(std::vector<AdapterRecord>* adapters) const = 0;
  // ClassifyAdapter of the adapter name: 0..3.
  virtual int Classify(const std::string& adapterName) const = 0;
  // The LAN adapter numbers NetBIOS enumerates, in its order; empty when NetBIOS fails.
  virtual std::vector<uint8_t> NetBiosAdapters() const = 0;
  // Resets adapter `lana` and asks its status; false when either fails.
  virtual bool NetBiosAddress(uint8_t lana, uint8_t mac[6]) const = 0;
};

// The connection values of an adapter in the network-class registry key.
struct AdapterConnection {
  bool hasMediaSubType = false;
  uint32_t mediaSubType = 0;
  bool hasPnpInstanceId = false;
  std::wstring pnpInstanceId;
};

// 0 wired PCI (MediaSubType 1, PnpInstanceID beginning "PCI"), 1 wireless (MediaSubType 2),
// 2 other wired (MediaSubType 1), 3 anything else or unreadable.
int ClassifyConnection(const AdapterConnection& connection);

class CMacFetcher {
 public:
  explicit CMacFetcher(const AdapterSource& source);
  virtual ~CMacFetcher();

  // Always true: fills `mac` with the adapter address, or the fixed address when no adapter
  // gives a non-zero one.
  bool GetMac(uint8_t mac[6]) const;

  bool FromAdapterList(uint8_t mac[6]) const;
  bool FromNetBios(uint8_t mac[6]) const;

 private:
  const AdapterSource& source_;
};

// The 12 lower-case hex digits of a MAC, no separators.
std::string MacText(const uint8_t mac[6]);

#ifdef _WIN32
// The system's adapters: IP Helper loaded from the system folder, NetBIOS, the registry.
const AdapterSource& SystemAdapterSource();
// Reads the adapter's "Connection" values below
// HKLM\System\CurrentControlSet\Control\Network\{4D36E972-E325-11CE-BFC1-08002BE10318}.
AdapterConnection ReadAdapterConnection(const std::string& adapterName);
// ClassifyConnection(ReadAdapterConnection(adapterName)).
int ClassifyAdapter(const std::string& adapterName);
#endif

}  // namespace XvMacID
