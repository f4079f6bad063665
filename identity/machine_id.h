// The machine identifier of this program image: 16 bytes, computed at most once while the image
// is loaded anywhere on the machine and remembered across runs in the identity profile.
//
// The identifier and its state word live in the image's data section ".XvGuid" (20 bytes,
// readable, writable, shared by every process running this image); see seq_id_generator.h.
#pragma once

#include <cstdint>
#include <string>

#include "identity/seq_id_generator.h"

namespace XvMacID {

// The identifier as 32 lower-case hexadecimal digits. The first call in any instance of the
// image computes it from the hardware and the profile file; later calls, also in other
// instances running meanwhile, return the same value. Never fails.
std::string MachineIdHex();

// The process's generator over the image's shared block, computing with ComputeSystemMachineId.
CSeqIDGenerator& SystemIdGenerator();

// The image's shared identity block.
SharedIdBlock& ImageSharedIdBlock();

// One computation from the system's adapters, disks and processor and the profile file.
void ComputeSystemMachineId(uint8_t id[16]);

}  // namespace XvMacID
