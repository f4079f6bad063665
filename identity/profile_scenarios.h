// Test support: runs of ComputeMachineId over a profile as it lies in the file before the run,
// with the profile's content expected afterwards. The same table runs against a profile kept in
// memory (both builds) and against the real profile file (Windows).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "identity/compute_machine_id.h"

namespace XvMacID {

struct ProfileScenario {
  const char* name;
  std::optional<std::string> before;  // file content before the run; nullopt: no file
  MachineFacts facts;
  std::string id;                     // expected identifier, hex
  std::optional<std::string> after;   // file content after the run; nullopt: unchanged
};

std::vector<ProfileScenario> ProfileScenarios();

// MD5 hex of `text`, through the digest's own buffer interface (not the identity code).
std::string Md5Of(const std::string& text);

// A profile block as this program writes it.
std::string Block(const std::string& id, const std::string& mac, const std::string& disk,
                  const std::string& cpu);

// Reads `key` of section "Profile" from INI text the way the profile-file API does into a
// 33-character buffer: section and key names ignore case, the value is trimmed and cut to 32
// characters; "" when missing.
std::string IniValue(const std::string& text, const std::string& key);

}  // namespace XvMacID
