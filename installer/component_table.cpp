#include "installer/component_table.h"

const std::vector<ComponentInfo>& ComponentTable() {
  static const std::vector<ComponentInfo> table = {
      {7, &ChannelParams::installMarket_, L"Software\\Corvel\\Zentharo\\Lumaport", {L"Lumaport.exe", L"GF.dll"}},
      {1, &ChannelParams::installUI_, L"Software\\Corvel\\Zentharo\\UI", {L"adb.exe", L"Mirevale.exe"}},
      {3, &ChannelParams::installVDI_, L"Software\\Corvel\\Zentharo\\VDI_0",
       {L"android_data_disk.vdi", L"android_sdcard_disk.vdi", L"android_system_disk.vdi"}},
      {8, &ChannelParams::installVDI71_, L"Software\\Corvel\\Zentharo\\VDI_100",
       {L"android_data_disk.vdi", L"android_sdcard_disk.vdi", L"android_system_disk.vdi"}},
      {10, &ChannelParams::installRootfs_, L"Software\\Corvel\\Zentharo\\Arbal_Rootfs", {L"inode"}},
      {2, &ChannelParams::installKordin_, L"Software\\AndroidKordin", {L"Sollvane.exe", L"KordinSVC.exe"}},
  };
  return table;
}

const ComponentInfo* FindComponentInfo(int32_t id) {
  for (const ComponentInfo& info : ComponentTable())
    if (info.id == id) return &info;
  return nullptr;
}
