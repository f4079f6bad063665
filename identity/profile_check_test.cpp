#include "identity/profile_check.h"

#include <gtest/gtest.h>

namespace XvMacID {
namespace {

// The old-profile upgrade: a profile without config5 is regenerated with the processor text only
// when every condition holds; each row breaks one of them (or none).
TEST(CheckProfile, UpgradeOfProfilesWithoutConfig5) {
  struct Case {
    const char* name;
    bool config2, config3, config4;  // non-empty in the profile
    int config5;
    bool disk, cpu;                  // available now
    bool upgrade;
  };
  const Case cases[] = {
      {"only config2, MAC and processor now", true, false, false, 0, false, true, true},
      {"nothing stored, MAC and processor now", false, false, false, 0, false, true, true},
      {"written by this scheme", true, false, false, 1, false, true, false},
      {"no processor now", true, false, false, 0, false, false, false},
      {"adapter and disk both stored", true, true, false, 0, false, true, false},
      {"all three facts available", true, false, false, 0, true, true, false},
      {"config2 and config4 stored, MAC and processor now", true, false, true, 0, false, true, true},
      {"three stored, two available", true, true, true, 0, false, true, false},
  };
  MachineFacts base;
  base.mac = "00163e2a4b5c";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MachineFacts facts = base;
    facts.hasDisk = c.disk;
    facts.disk = c.disk ? "disk" : "";
    facts.hasCpu = c.cpu;
    facts.cpu = c.cpu ? "cpu" : "";
    const FactHashes hashes = HashFacts(facts);
    StoredProfile stored;
    stored.config1 = "0123456789abcdef0123456789abcdef";
    stored.config2 = c.config2 ? hashes.mac : "";
    stored.config3 = c.config3 ? Md5HexOf("old disk") : "";
    stored.config4 = c.config4 ? Md5HexOf("old cpu") : "";
    stored.config5 = c.config5;
    const ProfileCheck check = CheckProfile(stored, facts, hashes);
    EXPECT_EQ(check.includeProcessor, c.upgrade);
    if (c.upgrade) EXPECT_FALSE(check.accepted);
  }
}

TEST(CheckProfile, ShortIdentifierFailsWithoutAskingForAnUpgrade) {
  MachineFacts facts;
  facts.mac = "00163e2a4b5c";
  facts.hasCpu = true;
  facts.cpu = "cpu";
  const FactHashes hashes = HashFacts(facts);
  StoredProfile stored;
  stored.config1 = "0123456789abcdef";
  stored.config2 = hashes.mac;  // config5 0, only config2: an upgrade case but for the identifier
  const ProfileCheck check = CheckProfile(stored, facts, hashes);
  EXPECT_FALSE(check.accepted);
  EXPECT_FALSE(check.includeProcessor);
}

TEST(HexLower, TwoLowerCaseDigitsPerByte) {
  const uint8_t bytes[] = {0x00, 0x0f, 0xa0, 0xff};
  EXPECT_EQ(HexLower(bytes, 4), "000fa0ff");
}

}  // namespace
}  // namespace XvMacID
