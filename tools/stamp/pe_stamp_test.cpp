#include "tools/stamp/pe_stamp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/channel_params.h"
#include "app/param_block.h"

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

constexpr size_t kPeOffset = 0x80;
constexpr size_t kOptional = kPeOffset + 24;

// Headers of a PE image and some "code"; no sections are needed for stamping.
std::vector<uint8_t> FakeImage(bool pe32Plus = false) {
  std::vector<uint8_t> b(0x400, 0xCC);
  std::fill(b.begin(), b.begin() + 0x200, 0);
  b[0] = 'M', b[1] = 'Z';
  Put32(b, 0x3C, kPeOffset);
  std::memcpy(&b[kPeOffset], "PE\0\0", 4);
  Put16(b, kPeOffset + 4, pe32Plus ? 0x8664 : 0x14C);
  Put16(b, kPeOffset + 4 + 16, pe32Plus ? 240 : 224);
  Put16(b, kOptional, pe32Plus ? 0x20B : 0x10B);
  Put32(b, kOptional + (pe32Plus ? 108 : 92), 16);
  return b;
}

size_t SecurityEntry(bool pe32Plus) { return kOptional + (pe32Plus ? 112 : 96) + 4 * 8; }

// Appends a WIN_CERTIFICATE of `length` bytes and points the security entry at it.
std::vector<uint8_t> Sign(std::vector<uint8_t> b, uint32_t length = 64, bool pe32Plus = false) {
  size_t table = b.size();
  b.resize(table + length, 0x5A);
  Put32(b, table, length);      // dwLength
  Put16(b, table + 4, 0x0200);  // WIN_CERT_REVISION_2_0
  Put16(b, table + 6, 0x0002);  // WIN_CERT_TYPE_PKCS_SIGNED_DATA
  Put32(b, SecurityEntry(pe32Plus), uint32_t(table));
  Put32(b, SecurityEntry(pe32Plus) + 4, length);
  return b;
}

ChannelParams ReadBack(const std::vector<uint8_t>& file) {
  class Quiet : public ParamLog {
    void Write(rezorev::LogLevel, const std::string&) override {}
  } log;
  MemoryReader reader(file.data(), file.size());
  ChannelParams params;
  ReadChannelParams(reader, file.size(), params, log);
  return params;
}

TEST(PeStamp, SignedImageGrowsItsCertificateTableAndKeepsTheSignatureRecord) {
  for (bool pe32Plus : {false, true}) {
    const std::vector<uint8_t> original = Sign(FakeImage(pe32Plus), 64, pe32Plus);
    std::vector<uint8_t> file = original;
    std::string error;
    std::vector<std::string> texts = {R"({"supplyid": 111, "buildid": 349})", "{\n  \"supplyid\": 222\n}\n"};
    ASSERT_TRUE(StampParamBlocks(file, texts, error)) << error;

    size_t added = BuildParamBlock(texts[0]).size() + BuildParamBlock(texts[1]).size();
    ASSERT_EQ(file.size(), original.size() + added);
    size_t entry = SecurityEntry(pe32Plus);
    EXPECT_EQ(Get32(file, entry), 0x400u);
    EXPECT_EQ(Get32(file, entry + 4), 64 + added);
    EXPECT_EQ(Get32(file, 0x400), 64u) << "WIN_CERTIFICATE length must stay";
    // Nothing else of the original changed: the signed bytes and the signature itself.
    std::vector<uint8_t> head(file.begin(), file.begin() + original.size());
    Put32(head, entry + 4, 64);
    EXPECT_EQ(head, original);

    ChannelParams params = ReadBack(file);
    EXPECT_EQ(params.supplyId_, 222u);  // command-line order: the last block wins
    EXPECT_EQ(params.buildId_, 349u);
  }
}

TEST(PeStamp, UnsignedImageGetsBlocksAtItsEnd) {
  const std::vector<uint8_t> original = FakeImage();
  std::vector<uint8_t> file = original;
  std::string error;
  ASSERT_TRUE(StampParamBlocks(file, {R"({"title": "Orvix"})"}, error)) << error;
  EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + original.size()), original);
  EXPECT_EQ(ReadBack(file).title_, L"Orvix");

  // Stamping again adds a block after the first; both are read.
  ASSERT_TRUE(StampParamBlocks(file, {R"({"supplyid": 5})"}, error)) << error;
  ChannelParams params = ReadBack(file);
  EXPECT_EQ(params.title_, L"Orvix");
  EXPECT_EQ(params.supplyId_, 5u);
}

TEST(PeStamp, RefusalsLeaveTheFileUnchanged) {
  std::vector<uint8_t> overlayAfterSignature = Sign(FakeImage());
  overlayAfterSignature.resize(overlayAfterSignature.size() + 16, 0);
  std::vector<uint8_t> cutShort = FakeImage();
  cutShort.resize(kOptional + 40);
  std::vector<uint8_t> farPe = FakeImage();
  Put32(farPe, 0x3C, 0xFFFFFFF0);
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    std::string json;
    const char* errorStart;
  } cases[] = {
      {"text file", std::vector<uint8_t>(100, 'a'), "{}", "not a Windows program"},
      {"empty file", {}, "{}", "not a Windows program"},
      {"PE offset past the end", farPe, "{}", "not a Windows program"},
      {"optional header cut", cutShort, "{}", "not a Windows program"},
      {"table not at end", overlayAfterSignature, "{}", "the certificate table (offset 1024, 64 bytes) does not end"},
      {"syntax error", Sign(FakeImage()), R"({"supplyid": 1,})", "block 1: the JSON text does not parse: "},
      {"not an object", Sign(FakeImage()), "[1]", "block 1: the channel parameters must be a JSON object"},
      {"wrong type", Sign(FakeImage()), R"({"supplyid": "100566"})",
       "block 1: the program would stop reading this block: [json.exception.type_error.302] type must be number, "
       "but is string"},
      {"zero byte", Sign(FakeImage()), std::string("{}\0{}", 5), "block 1: the JSON text contains a zero byte"},
      {"too deep", Sign(FakeImage()), std::string(100, '[') + std::string(100, ']'), "block 1: the JSON text does not parse"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> file = c.file;
    std::string error;
    EXPECT_FALSE(StampParamBlocks(file, {c.json}, error)) << c.name;
    EXPECT_EQ(error.rfind(c.errorStart, 0), 0u) << c.name << ": " << error;
    EXPECT_EQ(file, c.file) << c.name;
  }
  // One bad text among good ones: nothing is stamped, and the message names the block.
  std::vector<uint8_t> file = Sign(FakeImage());
  std::string error;
  EXPECT_FALSE(StampParamBlocks(file, {R"({"supplyid": 1})", R"({"installUI": 1})"}, error));
  EXPECT_EQ(error.rfind("block 2: ", 0), 0u) << error;
  EXPECT_EQ(file, Sign(FakeImage()));
}

}  // namespace
