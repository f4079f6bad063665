#include "identity/machine_id.h"

#include "identity/compute_machine_id.h"
#include "identity/cpu_brand.h"
#include "identity/profile_check.h"
#include "identity/profile_store_win.h"

namespace XvMacID {

// Shared between every process that runs this image: the section is marked shared in the image,
// and the system maps one copy of it for all of them. Nothing else may go into this section.
__attribute__((section(".XvGuid"), shared)) SharedIdBlock g_sharedIdBlock = {{0}, {kIdNotComputed}};

SharedIdBlock& ImageSharedIdBlock() { return g_sharedIdBlock; }

void ComputeSystemMachineId(uint8_t id[16]) {
  const CMacFetcher mac(SystemAdapterSource());
  const CHddFetcher hdd(SystemDiskSource());
  ProfileFileStore store;
  ComputeMachineId(GatherMachineFacts(mac, hdd, ReadCpuBrand), store, id);
}

CSeqIDGenerator& SystemIdGenerator() {
  static CSeqIDGenerator* generator = new CSeqIDGenerator(&g_sharedIdBlock, ComputeSystemMachineId);
  return *generator;
}

std::string MachineIdHex() {
  uint8_t id[16];
  SystemIdGenerator().GetId(id);
  return HexLower(id, sizeof id);
}

}  // namespace XvMacID
