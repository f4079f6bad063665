// The identity profile file: <roaming application data>\Corvel\Fenwick\DorazeZud.db, read through
// the system's profile-file (INI) API from section "Profile" and written as one block.
#pragma once

#include <string>

#include "foundation/scoped_handle.h"
#include "identity/compute_machine_id.h"

namespace XvMacID {

class ProfileFileStore : public ProfileStore {
 public:
  ProfileFileStore();
  ~ProfileFileStore() override;

  // Creates the folders as needed (an existing folder, or one that denies access but may still
  // hold the file, is fine) and opens the file for reading and writing, shared for both; creates
  // it when it does not exist. kNone when the roaming folder, a folder or the file cannot be had.
  ProfileOpenResult Open() override;
  StoredProfile Read() override;
  // Cuts the open file at its start and writes `block`; if it cannot be cut, recreates the file
  // by path and writes there. Closes the file afterwards.
  void Rewrite(const std::string& block) override;

  // The file's path; empty when the roaming application-data folder cannot be had.
  static std::wstring DefaultPath();

 private:
  std::wstring path_;
  rezorev::ScopedHandle file_;
};

}  // namespace XvMacID
