#include "identity/mac_fetcher.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <iterator>
#include <map>

namespace XvMacID {
namespace {

struct FakeAdapter {
  std::string name;
  uint32_t type;
  std::string mac;  // 12 hex digits
  int adapterClass;
};

std::array<uint8_t, 6> Bytes(const std::string& hex) {
  std::array<uint8_t, 6> bytes{};
  for (size_t i = 0; i < 6; ++i) bytes[i] = uint8_t(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
  return bytes;
}

class FakeAdapters : public AdapterSource {
 public:
  bool listAvailable = true;
  std::vector<FakeAdapter> adapters;
  std::vector<uint8_t> lanas;
  std::map<uint8_t, std::string> netBios;  // lana -> address; missing: the status request fails

  bool ListAdapters(std::vector<AdapterRecord>* out) const override {
    if (!listAvailable) return false;
    for (const FakeAdapter& adapter : adapters) {
      AdapterRecord record;
      record.name = adapter.name;
      record.type = adapter.type;
      const auto bytes = Bytes(adapter.mac);
      std::memcpy(record.address, bytes.data(), 6);
      record.address[6] = 0xee;  // beyond the MAC: never used
      out->push_back(record);
    }
    return true;
  }
  int Classify(const std::string& name) const override {
    for (const FakeAdapter& adapter : adapters) {
      if (adapter.name == name) return adapter.adapterClass;
    }
    return 3;
  }
  std::vector<uint8_t> NetBiosAdapters() const override { return lanas; }
  bool NetBiosAddress(uint8_t lana, uint8_t mac[6]) const override {
    auto found = netBios.find(lana);
    if (found == netBios.end()) return false;
    std::memcpy(mac, Bytes(found->second).data(), 6);
    return true;
  }
};

constexpr uint32_t kWireless = 71;

std::string MacOf(const AdapterSource& source) {
  uint8_t mac[6];
  EXPECT_TRUE(CMacFetcher(source).GetMac(mac));
  return MacText(mac);
}

TEST(CMacFetcher, ChoosesFromTheAdapterList) {
  struct Case {
    const char* name;
    std::vector<FakeAdapter> adapters;
    std::string mac;
  };
  const Case cases[] = {
      {"a lone adapter of any kind", {{"{w}", kWireless, "0a0b0c0d0e0f", 3}}, "0a0b0c0d0e0f"},
      {"later Ethernet of a better class wins",
       {{"{v}", kIfTypeEthernet, "020000000001", 2}, {"{p}", kIfTypeEthernet, "00163e2a4b5c", 0}},
       "00163e2a4b5c"},
      {"later PPP of a better class wins",
       {{"{v}", kIfTypeEthernet, "020000000001", 3}, {"{d}", kIfTypePpp, "00163e000023", 2}},
       "00163e000023"},
      {"a better class on another interface type does not",
       {{"{v}", kIfTypeEthernet, "020000000001", 2}, {"{w}", kWireless, "00163e000071", 0}},
       "020000000001"},
      {"an equal class does not",
       {{"{a}", kIfTypeEthernet, "00163e00000a", 1}, {"{b}", kIfTypeEthernet, "00163e00000b", 1}},
       "00163e00000a"},
      {"the best so far is what later adapters must beat",
       {{"{a}", kIfTypeEthernet, "00163e00000a", 3},
        {"{b}", kIfTypeEthernet, "00163e00000b", 1},
        {"{c}", kIfTypeEthernet, "00163e00000c", 2}},
       "00163e00000b"},
      {"an all-zero first adapter is replaced by a better one",
       {{"{z}", kWireless, "000000000000", 3}, {"{e}", kIfTypeEthernet, "00163e00000e", 0}},
       "00163e00000e"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeAdapters source;
    source.adapters = c.adapters;
    EXPECT_EQ(MacOf(source), c.mac);
  }
}

TEST(CMacFetcher, FallsBackToNetBiosLastAdapterFirst) {
  FakeAdapters source;
  source.adapters = {{"{z}", kIfTypeEthernet, "000000000000", 0}};  // chosen, but all zero
  source.lanas = {0, 3, 5, 7};
  source.netBios = {{0, "00163e000000"}, {3, "00163e000003"}, {5, "000000000000"}};  // 7 fails
  EXPECT_EQ(MacOf(source), "00163e000003");

  source.listAvailable = false;
  source.netBios[7] = "00163e000007";
  EXPECT_EQ(MacOf(source), "00163e000007");
}

TEST(CMacFetcher, WithoutAnyAddressGivesTheFixedMac) {
  FakeAdapters source;
  source.adapters = {{"{z}", kIfTypeEthernet, "000000000000", 0}};
  source.lanas = {0};
  source.netBios = {{0, "000000000000"}};
  EXPECT_EQ(MacOf(source), "1a2b3c4d5e6f");
  source.listAvailable = false;
  source.lanas.clear();
  EXPECT_EQ(MacOf(source), "1a2b3c4d5e6f");
}

TEST(ClassifyConnection, ClassesFromTheConnectionValues) {
  struct Case {
    bool hasSubType;
    uint32_t subType;
    bool hasPnp;
    const wchar_t* pnp;
    int adapterClass;
  };
  const Case cases[] = {
      {true, 1, true, L"PCI\\VEN_8086&DEV_15B8", 0},
      {true, 1, true, L"USB\\VID_0BDA&PID_8153", 2},
      {true, 1, true, L"pci\\ven_8086", 2},  // the prefix is matched as written
      {true, 2, true, L"PCI\\VEN_8086&DEV_24FD", 1},
      {true, 2, true, L"USB\\VID_0BDA", 1},
      {true, 0, true, L"PCI\\VEN_8086", 3},
      {true, 7, true, L"ROOT\\NET", 3},
      {false, 0, true, L"PCI\\VEN_8086", 3},
      {true, 1, false, L"", 3},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const Case& c = cases[i];
    AdapterConnection connection;
    connection.hasMediaSubType = c.hasSubType;
    connection.mediaSubType = c.subType;
    connection.hasPnpInstanceId = c.hasPnp;
    connection.pnpInstanceId = c.pnp;
    EXPECT_EQ(ClassifyConnection(connection), c.adapterClass);
  }
}

}  // namespace
}  // namespace XvMacID
