#include "identity/compute_machine_id.h"

#include <cstring>

namespace XvMacID {

MachineFacts GatherMachineFacts(const CMacFetcher& mac, const CHddFetcher& hdd,
                                bool (*readCpuBrand)(std::string* text)) {
  MachineFacts facts;
  uint8_t address[6];
  mac.GetMac(address);
  facts.mac = MacText(address);
  std::string serial, model, firmware;
  if (hdd.GetDiskIdentity(&serial, &model, &firmware)) {
    facts.hasDisk = true;
    facts.disk = serial + model + firmware;
  }
  facts.hasCpu = readCpuBrand(&facts.cpu);
  if (!facts.hasCpu) facts.cpu.clear();
  return facts;
}

void ComputeMachineId(const MachineFacts& facts, ProfileStore& store, uint8_t id[16]) {
  const FactHashes hashes = HashFacts(facts);
  const ProfileOpenResult opened = store.Open();
  bool includeProcessor = false;
  if (opened == ProfileOpenResult::kExisting) {
    const ProfileCheck check = CheckProfile(store.Read(), facts, hashes);
    if (check.accepted) {
      std::memcpy(id, check.id, 16);
      return;
    }
    includeProcessor = check.includeProcessor;
  }
  RegenerateId(facts, includeProcessor, id);
  if (opened != ProfileOpenResult::kNone) store.Rewrite(FormatProfileBlock(id, hashes));
}

}  // namespace XvMacID
