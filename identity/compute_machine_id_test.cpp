#include "identity/compute_machine_id.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "identity/profile_check.h"
#include "identity/profile_scenarios.h"

namespace XvMacID {
namespace {

// A profile file kept in memory, read the way the profile-file API reads it.
class MemoryProfileStore : public ProfileStore {
 public:
  explicit MemoryProfileStore(std::optional<std::string> content, bool canCreate = true)
      : content_(std::move(content)), canCreate_(canCreate) {}

  ProfileOpenResult Open() override {
    ++opens_;
    if (content_) return ProfileOpenResult::kExisting;
    if (!canCreate_) return ProfileOpenResult::kNone;
    content_ = std::string();
    return ProfileOpenResult::kCreated;
  }
  StoredProfile Read() override {
    StoredProfile stored;
    stored.config1 = IniValue(*content_, "config1");
    stored.config2 = IniValue(*content_, "config2");
    stored.config3 = IniValue(*content_, "config3");
    stored.config4 = IniValue(*content_, "config4");
    stored.config5 = std::atoi(IniValue(*content_, "config5").c_str());
    return stored;
  }
  void Rewrite(const std::string& block) override {
    ++rewrites_;
    content_ = block;
  }

  std::optional<std::string> content_;
  bool canCreate_;
  int opens_ = 0;
  int rewrites_ = 0;
};

TEST(ComputeMachineId, ProfileScenarios) {
  for (const ProfileScenario& scenario : ProfileScenarios()) {
    SCOPED_TRACE(scenario.name);
    MemoryProfileStore store(scenario.before);
    uint8_t id[16];
    ComputeMachineId(scenario.facts, store, id);
    EXPECT_EQ(HexLower(id, 16), scenario.id);
    EXPECT_EQ(store.content_, scenario.after ? scenario.after : scenario.before);
    EXPECT_EQ(store.rewrites_, scenario.after ? 1 : 0);
  }
}

TEST(ComputeMachineId, WithoutProfileFileTheIdentifierComesFromTheFactsAlone) {
  MachineFacts facts;
  facts.mac = "00163e2a4b5c";
  facts.hasCpu = true;
  facts.cpu = "Some CPU";
  MemoryProfileStore store(std::nullopt, /*canCreate=*/false);
  uint8_t id[16];
  ComputeMachineId(facts, store, id);
  EXPECT_EQ(HexLower(id, 16), Md5Of("00163e2a4b5c"));
  EXPECT_EQ(store.rewrites_, 0);
  EXPECT_FALSE(store.content_);
}

class NoAdapters : public AdapterSource {
 public:
  bool ListAdapters(std::vector<AdapterRecord>*) const override { return false; }
  int Classify(const std::string&) const override { return 3; }
  std::vector<uint8_t> NetBiosAdapters() const override { return {}; }
  bool NetBiosAddress(uint8_t, uint8_t*) const override { return false; }
};

class NoDisks : public DiskSource {
 public:
  bool IsNtFamily() const override { return true; }
  bool SmartIdentify(int, AtaIdentifyReply*) const override { return false; }
  bool MiniportIdentify(int, int, AtaIdentifyReply*) const override { return false; }
  bool StorageDescriptor(int, std::vector<uint8_t>*) const override { return false; }
  bool PlainSmartIdentify(int, AtaIdentifyReply*) const override { return false; }
};

bool BrandOf(std::string* text) {
  *text = "Test CPU";
  return true;
}
bool NoBrand(std::string* text) {
  text->clear();
  return false;
}

TEST(GatherMachineFacts, MachineWithoutAdapterAndDiskGetsTheFixedMac) {
  NoAdapters adapters;
  NoDisks disks;
  const MachineFacts facts = GatherMachineFacts(CMacFetcher(adapters), CHddFetcher(disks), NoBrand);
  EXPECT_EQ(facts.mac, "1a2b3c4d5e6f");
  EXPECT_FALSE(facts.hasDisk);
  EXPECT_FALSE(facts.hasCpu);

  MemoryProfileStore store(std::nullopt);
  uint8_t id[16];
  ComputeMachineId(GatherMachineFacts(CMacFetcher(adapters), CHddFetcher(disks), BrandOf), store, id);
  EXPECT_EQ(HexLower(id, 16), "6cbad22cdf655e9d49895421be36e118");
}

}  // namespace
}  // namespace XvMacID
