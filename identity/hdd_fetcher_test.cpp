#include "identity/hdd_fetcher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <utility>

namespace XvMacID {
namespace {

// ATA identify data: texts stored two characters per little-endian word, the first in the high
// byte.
void PutAtaText(uint8_t* data, size_t firstWord, size_t words, const std::string& text) {
  std::string padded = text;
  padded.resize(words * 2, ' ');
  for (size_t i = 0; i < words; ++i) {
    data[2 * (firstWord + i) + 1] = uint8_t(padded[2 * i]);
    data[2 * (firstWord + i)] = uint8_t(padded[2 * i + 1]);
  }
}

AtaIdentifyReply Identify(const std::string& serial, const std::string& model,
                          const std::string& firmware, uint32_t returnedSize = 528) {
  AtaIdentifyReply reply;
  reply.returnedSize = returnedSize;
  PutAtaText(reply.data, 10, 10, serial);
  PutAtaText(reply.data, 27, 20, model);
  PutAtaText(reply.data, 23, 4, firmware);
  return reply;
}

// A storage device descriptor with the three texts placed after the fixed header.
std::vector<uint8_t> Descriptor(const std::string& product, const std::string& revision,
                                const std::string& serial) {
  std::vector<uint8_t> bytes(40, 0);
  auto place = [&bytes](size_t offsetField, const std::string& text) {
    const uint32_t offset = uint32_t(bytes.size());
    for (int i = 0; i < 4; ++i) bytes[offsetField + i] = uint8_t(offset >> (8 * i));
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
  };
  place(16, product);
  place(20, revision);
  place(24, serial);
  return bytes;
}

TEST(ParseAtaIdentify, WordsHighByteFirstTrailingSpacesRemoved) {
  const AtaIdentifyReply reply = Identify("  WD-WCC4N1234567", "WDC WD10EZEX-08WN4A0", "80.01A80");
  const DiskIdentity identity = ParseAtaIdentify(reply.data);
  EXPECT_EQ(identity.serial, "  WD-WCC4N1234567");  // leading spaces stay
  EXPECT_EQ(identity.model, "WDC WD10EZEX-08WN4A0");
  EXPECT_EQ(identity.firmware, "80.01A80");

  AtaIdentifyReply cut;
  PutAtaText(cut.data, 27, 20, std::string("ST500", 5) + std::string(1, '\0') + "garbage");
  EXPECT_EQ(ParseAtaIdentify(cut.data).model, "ST500");
}

TEST(DescriptorText, DecodingSwappingAndTrimming) {
  struct Case {
    const char* name;
    std::string raw;
    bool swap;
    std::string text;
  };
  const Case cases[] = {
      {"plain", "  Samsung SSD 860  ", false, "Samsung SSD 860"},
      {"hex pairs decoded", "5733443553", false, "W3D5S"},
      {"a space counts as 0", "3 3 ", false, "00"},  // "30 30"
      {"hex decoding to non-printable kept as written", "0102", false, "0102"},
      {"odd number of hex digits kept as written", "414", false, "414"},
      {"non-printable characters dropped", "AB\x01" "CD\x7f", false, "ABCD"},
      {"serial pairs swapped", "WD-WCC4", true, "DWW-CC4"},
      {"hex serial decoded then swapped", "3231343333", true, "12343"},
      {"swap before trimming", " 1 2", true, "1 2"},
      {"only spaces", "    ", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> descriptor(8, 0);
    descriptor.insert(descriptor.end(), c.raw.begin(), c.raw.end());
    descriptor.push_back(0);
    EXPECT_EQ(DescriptorText(descriptor, 8, c.swap), c.text);
  }
}

TEST(DescriptorText, OffsetsAreCheckedAgainstTheDescriptor) {
  std::vector<uint8_t> descriptor(8, 0);
  descriptor.push_back('A');
  descriptor.push_back('B');  // no terminating zero: the text ends with the descriptor
  EXPECT_EQ(DescriptorText(descriptor, 8, false), "AB");
  EXPECT_EQ(DescriptorText(descriptor, 0, false), "");
  EXPECT_EQ(DescriptorText(descriptor, 10, false), "");
  EXPECT_EQ(DescriptorText(descriptor, 0xfffffff0u, false), "");

  DiskIdentity identity;
  EXPECT_FALSE(ParseStorageDescriptor(std::vector<uint8_t>(27, 0), &identity));
  EXPECT_TRUE(ParseStorageDescriptor(Descriptor("ST1000DM003", "CC43", "WZ0EKA3B"), &identity));
  EXPECT_EQ(identity.model, "ST1000DM003");
  EXPECT_EQ(identity.firmware, "CC43");
  EXPECT_EQ(identity.serial, "ZWE0AKB3");
}

// Per method and device, what the fake disks answer.
class FakeDisks : public DiskSource {
 public:
  bool nt = true;
  std::map<int, AtaIdentifyReply> smart, plainSmart;
  std::map<std::pair<int, int>, AtaIdentifyReply> miniport;
  std::map<int, std::vector<uint8_t>> descriptors;

  bool IsNtFamily() const override { return nt; }
  bool SmartIdentify(int drive, AtaIdentifyReply* reply) const override {
    return Find(smart, drive, reply);
  }
  bool MiniportIdentify(int port, int target, AtaIdentifyReply* reply) const override {
    return Find(miniport, std::make_pair(port, target), reply);
  }
  bool StorageDescriptor(int drive, std::vector<uint8_t>* descriptor) const override {
    return Find(descriptors, drive, descriptor);
  }
  bool PlainSmartIdentify(int drive, AtaIdentifyReply* reply) const override {
    return Find(plainSmart, drive, reply);
  }

 private:
  template <typename Map, typename Key, typename Value>
  static bool Find(const Map& map, const Key& key, Value* value) {
    auto found = map.find(key);
    if (found == map.end()) return false;
    *value = found->second;
    return true;
  }
};

std::string DiskText(const FakeDisks& disks) {
  std::string serial = "untouched", model = "untouched", firmware = "untouched";
  if (!CHddFetcher(disks).GetDiskIdentity(&serial, &model, &firmware)) return "none";
  return serial + "|" + model + "|" + firmware;
}

TEST(CHddFetcher, FirstMethodThatAnswersWins) {
  FakeDisks disks;
  EXPECT_EQ(DiskText(disks), "none");

  disks.plainSmart[0] = Identify("P4", "plain", "4");
  EXPECT_EQ(DiskText(disks), "P4|plain|4");

  disks.descriptors[2] = Descriptor("desc", "3", "3P");  // serial swapped back to "P3"
  EXPECT_EQ(DiskText(disks), "P3|desc|3");

  disks.miniport[{4, 0}] = Identify("P2", "miniport", "2");
  EXPECT_EQ(DiskText(disks), "P2|miniport|2");

  disks.smart[15] = Identify("P1", "smart", "1");  // the last device number still counts
  EXPECT_EQ(DiskText(disks), "P1|smart|1");

  disks.nt = false;
  EXPECT_EQ(DiskText(disks), "none");
}

TEST(CHddFetcher, WhatCountsAsAnAnswer) {
  {  // identify replies up to 46 bytes are not answers; the next device is tried
    FakeDisks disks;
    disks.smart[0] = Identify("short", "reply", "0", 46);
    disks.smart[1] = Identify("S1", "smart", "1", 47);
    EXPECT_EQ(DiskText(disks), "S1|smart|1");
  }
  {  // miniport: a zero first model byte is no answer; when both targets answer, target 1 stands
    FakeDisks disks;
    AtaIdentifyReply noModel = Identify("M0", "", "0");
    std::memset(noModel.data + 54, 0, 40);
    disks.miniport[{0, 1}] = noModel;
    disks.miniport[{1, 0}] = Identify("T0", "target0", "0");
    disks.miniport[{1, 1}] = Identify("T1", "target1", "1");
    EXPECT_EQ(DiskText(disks), "T1|target1|1");
  }
  {  // descriptor: the serial's first or twentieth character must be a letter or digit
    FakeDisks disks;
    disks.descriptors[0] = Descriptor("no serial", "0", "");
    disks.descriptors[1] = Descriptor("dash", "1", "--");
    disks.descriptors[2] = Descriptor("twentieth", "2", std::string(18, '-') + "X--");
    EXPECT_EQ(DiskText(disks), std::string(19, '-') + "X-|twentieth|2");  // swapped: X at 19
  }
}

}  // namespace
}  // namespace XvMacID
