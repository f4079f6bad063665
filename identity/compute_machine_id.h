// One computation of the machine identifier from the hardware facts and the identity profile.
// The profile is reached through ProfileStore so that the same flow runs against the real file
// (profile_store_win.h) and against a store in memory.
#pragma once

#include <cstdint>
#include <string>

#include "identity/hdd_fetcher.h"
#include "identity/mac_fetcher.h"
#include "identity/profile_check.h"

namespace XvMacID {

enum class ProfileOpenResult {
  kExisting,  // an existing profile file was opened
  kCreated,   // no profile existed; a new empty file was created
  kNone,      // no file can be had (folder or file could not be created)
};

// Where the profile lives. Open is called once per computation; Read and Rewrite only after an
// Open that gave a file. The store closes the file when it is destroyed.
class ProfileStore {
 public:
  virtual ~ProfileStore() = default;
  virtual ProfileOpenResult Open() = 0;
  // The values of section "Profile" (text values cut to 32 characters, config5 0 when missing).
  virtual StoredProfile Read() = 0;
  // Replaces the whole file content with `block`. Failures are not reported: the identifier
  // then is simply not remembered.
  virtual void Rewrite(const std::string& block) = 0;
};

// The facts of this computation: the MAC text (always), the disk text when a disk answered, the
// processor brand when `readCpuBrand` gives one (ReadCpuBrand in the program).
MachineFacts GatherMachineFacts(const CMacFetcher& mac, const CHddFetcher& hdd,
                                bool (*readCpuBrand)(std::string* text));

// Computes the identifier into `id` and maintains the profile:
//  - an existing profile that passes CheckProfile gives the identifier and is left unchanged;
//  - otherwise the identifier is regenerated from the facts and, when a file is open (existing
//    or newly created), the profile is rewritten with it and the current fact hashes.
// Never fails: without a profile the identifier comes from the facts alone.
void ComputeMachineId(const MachineFacts& facts, ProfileStore& store, uint8_t id[16]);

}  // namespace XvMacID
