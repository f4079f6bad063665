// The product's components: ids, what enables each, its registry key and the key files that prove
// it is installed. Components are always probed, listed, downloaded and installed in table order.
//
//   id  enabled by        key below HKEY_LOCAL_MACHINE             key files
//   7   installMarket     Software\Corvel\Zentharo\Lumaport         Lumaport.exe, GF.dll
//   1   installUI         Software\Corvel\Zentharo\UI               adb.exe, Mirevale.exe
//   3   installVDI        Software\Corvel\Zentharo\VDI_0            the three .vdi disks
//   8   installVDI71      Software\Corvel\Zentharo\VDI_100          the three .vdi disks
//   10  installRootfs     Software\Corvel\Zentharo\Arbal_Rootfs     inode
//   2   installKordin     Software\AndroidKordin                    Sollvane.exe, KordinSVC.exe
#pragma once

#include <cstdint>
#include <vector>

#include "app/channel_params.h"

struct ComponentInfo {
  int32_t id;
  bool ChannelParams::*enabledBy;
  const wchar_t* registryKey;
  std::vector<const wchar_t*> keyFiles;
};

// The table above, in its order. Built once, never changed.
const std::vector<ComponentInfo>& ComponentTable();

// The table entry of `id`, or nullptr for an id the product does not have.
const ComponentInfo* FindComponentInfo(int32_t id);
