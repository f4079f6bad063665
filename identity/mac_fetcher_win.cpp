// The system's adapter facts: IP Helper (loaded at run time from the system folder), NetBIOS and
// the network-class registry key. Every failure simply yields nothing.
#include "identity/mac_fetcher.h"

#include <windows.h>
#include <iphlpapi.h>
#include <nb30.h>

#include <cstring>

#include "foundation/scoped_handle.h"
#include "foundation/text_convert.h"
#include "registry/registry_key.h"

namespace XvMacID {
namespace {

// Room for 16 adapters; a longer list makes the call fail and the list is not used.
constexpr ULONG kAdapterListBytes = 10368;

constexpr wchar_t kNetworkClassKey[] =
    L"System\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}";

using GetAdaptersInfoFunction = ULONG(WINAPI*)(PIP_ADAPTER_INFO, PULONG);

class SystemAdapters : public AdapterSource {
 public:
  bool ListAdapters(std::vector<AdapterRecord>* adapters) const override {
    wchar_t system[MAX_PATH] = L"";
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    rezorev::ScopedModule library(::LoadLibraryW((std::wstring(system) + L"\\iphlpapi.dll").c_str()));
    if (!library.IsValid()) return false;
    auto getAdaptersInfo =
        reinterpret_cast<GetAdaptersInfoFunction>(::GetProcAddress(library.Get(), "GetAdaptersInfo"));
    if (getAdaptersInfo == nullptr) return false;

    std::vector<uint64_t> buffer(kAdapterListBytes / sizeof(uint64_t));  // aligned for the records
    ULONG size = kAdapterListBytes;
    auto* list = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (getAdaptersInfo(list, &size) != ERROR_SUCCESS) return false;
    for (const IP_ADAPTER_INFO* info = list; info != nullptr; info = info->Next) {
      AdapterRecord record;
      record.name.assign(info->AdapterName, strnlen(info->AdapterName, sizeof info->AdapterName));
      record.type = info->Type;
      std::memcpy(record.address, info->Address, sizeof record.address);
      adapters->push_back(record);
    }
    return true;
  }

  int Classify(const std::string& adapterName) const override { return ClassifyAdapter(adapterName); }

  std::vector<uint8_t> NetBiosAdapters() const override {
    LANA_ENUM lanas = {};
    NCB ncb = {};
    ncb.ncb_command = NCBENUM;
    ncb.ncb_buffer = reinterpret_cast<PUCHAR>(&lanas);
    ncb.ncb_length = sizeof lanas;
    if (::Netbios(&ncb) != NRC_GOODRET) return {};
    const size_t count = lanas.length < MAX_LANA ? lanas.length : MAX_LANA;
    return std::vector<uint8_t>(lanas.lana, lanas.lana + count);
  }

  bool NetBiosAddress(uint8_t lana, uint8_t mac[6]) const override {
    NCB reset = {};
    reset.ncb_command = NCBRESET;
    reset.ncb_lana_num = lana;
    if (::Netbios(&reset) != NRC_GOODRET) return false;

    struct {
      ADAPTER_STATUS status;
      NAME_BUFFER names[30];
    } answer = {};
    NCB status = {};
    status.ncb_command = NCBASTAT;
    status.ncb_lana_num = lana;
    std::memset(status.ncb_callname, ' ', NCBNAMSZ);
    status.ncb_callname[0] = '*';
    status.ncb_buffer = reinterpret_cast<PUCHAR>(&answer);
    status.ncb_length = sizeof answer;
    if (::Netbios(&status) != NRC_GOODRET) return false;
    std::memcpy(mac, answer.status.adapter_address, 6);
    return true;
  }
};

}  // namespace

AdapterConnection ReadAdapterConnection(const std::string& adapterName) {
  AdapterConnection connection;
  rezorev::RegistryKey networkClass;
  if (networkClass.Open(HKEY_LOCAL_MACHINE, kNetworkClassKey, KEY_READ) != ERROR_SUCCESS) {
    return connection;
  }
  rezorev::RegistryKey adapter;
  const std::wstring subKey = rezorev::AnsiToUtf16(adapterName) + L"\\Connection";
  if (adapter.Open(networkClass.Handle(), subKey.c_str(), KEY_READ) != ERROR_SUCCESS) return connection;

  DWORD subType = 0;
  if (adapter.ReadDword(L"MediaSubType", &subType) == ERROR_SUCCESS) {
    connection.hasMediaSubType = true;
    connection.mediaSubType = subType;
  }
  wchar_t pnpId[260] = L"";  // at most 259 characters and the terminating zero
  DWORD length = 260;
  if (adapter.ReadString(L"PnpInstanceID", pnpId, &length) == ERROR_SUCCESS) {
    connection.hasPnpInstanceId = true;
    connection.pnpInstanceId = pnpId;
  }
  return connection;
}

int ClassifyAdapter(const std::string& adapterName) {
  return ClassifyConnection(ReadAdapterConnection(adapterName));
}

const AdapterSource& SystemAdapterSource() {
  static const SystemAdapters source;
  return source;
}

}  // namespace XvMacID
