#include "app/param_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/param_test_support.h"
#include "digest/md5.h"

namespace {

using rezorev::kLogError;
using rezorev::kLogInfo;
using rezorev::kLogWarn;

const LoggedLine kEndOfChain{kLogWarn, "check magic failed or length is zero"};

std::vector<uint8_t> UpperCaseDigest(std::vector<uint8_t> block) {
  uint8_t* header = HeaderOf(block);
  for (int i = 6; i < 38; ++i) header[i] = uint8_t(std::toupper(header[i]));
  return block;
}

TEST(ParamBlockLayout, HeaderAndPaddingAsStamped) {
  // 112 bytes of JSON take 8 zero bytes: 120 + 40 = 160, a multiple of 8.
  std::string json = "{\"title\":\"" + std::string(112 - 12, 'x') + "\"}";
  ASSERT_EQ(json.size(), 112u);
  std::vector<uint8_t> block = BuildParamBlock(json);
  ASSERT_EQ(block.size(), 160u);
  const uint8_t* header = block.data() + 120;
  EXPECT_EQ(0, std::memcmp(block.data(), json.data(), json.size()));
  EXPECT_EQ(std::vector<uint8_t>(block.begin() + 112, block.begin() + 120), std::vector<uint8_t>(8, 0));
  EXPECT_EQ(header[0], 0xF4);
  EXPECT_EQ(header[1], 0x0E);
  EXPECT_EQ(header[2], 120);  // little-endian length at the unaligned offset 2
  EXPECT_EQ(header[3] | header[4] | header[5], 0);
  std::wstring digest = Md5Hex(block.data(), 120);  // over the zeros too
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(header + 6), 32), std::string(digest.begin(), digest.end()));
  EXPECT_EQ(header[38], 0);
  EXPECT_EQ(header[39], 1);

  ParamBlockHeader decoded = DecodeParamBlockHeader(header);
  EXPECT_TRUE(decoded.PassesCheck());
  EXPECT_EQ(decoded.dataLength, 120u);
  EXPECT_EQ(decoded.digest.size(), 32u);
}

TEST(ParamBlockLayout, EveryTextGetsAZeroAndEightByteAlignment) {
  for (size_t length = 0; length < 40; ++length) {
    std::vector<uint8_t> data = PadParamBlockData(std::string(length, '1'));
    EXPECT_GT(data.size(), length);
    EXPECT_LE(data.size(), length + 8);
    EXPECT_EQ((data.size() + kParamHeaderSize) % 8, 0u) << length;
    EXPECT_EQ(data[length], 0);
  }
}

struct ScanResult {
  std::vector<FoundParamBlock> blocks;
  std::vector<LoggedLine> lines;  // locations masked
};

ScanResult Scan(const std::vector<uint8_t>& file) {
  MemoryReader reader(file.data(), file.size());
  RecordingLog log;
  ScanResult result;
  result.blocks = ScanParamBlocks(reader, file.size(), log);
  result.lines = MaskLocations(log.lines);
  return result;
}

TEST(ParamBlockScan, FileWithoutBlocksEndsAtOnce) {
  for (size_t size : {0u, 39u, 40u, 5000u}) {
    ScanResult result = Scan(FakeProgram(size));
    EXPECT_TRUE(result.blocks.empty());
    EXPECT_EQ(result.lines, std::vector<LoggedLine>{kEndOfChain}) << size;
  }
}

TEST(ParamBlockScan, BlocksComeBackNearestToTheStartFirst) {
  std::vector<uint8_t> file = FakeProgram();
  Append(file, BuildParamBlock(R"({"n":1})"));
  Append(file, BuildParamBlock(R"({"n":2})"));
  Append(file, BuildParamBlock(R"({"n":3})"));
  ScanResult result = Scan(file);
  ASSERT_EQ(result.blocks.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(result.blocks[i].document["n"], i + 1);
  EXPECT_EQ(result.blocks[0].dataOffset, 300u);
  EXPECT_EQ(result.blocks[0].text, R"({"n":1})");
  // Found from the end backwards, then the end of the chain.
  LoggedLine found{kLogInfo, "find the inject data: <loc>"};
  EXPECT_EQ(result.lines, (std::vector<LoggedLine>{found, found, found, kEndOfChain}));
}

TEST(ParamBlockScan, DigestIsCheckedWithoutRegardToCase) {
  std::vector<uint8_t> file = FakeProgram();
  Append(file, UpperCaseDigest(BuildParamBlock(R"({"supplyid":100566})")));
  ScanResult result = Scan(file);
  ASSERT_EQ(result.blocks.size(), 1u);
  EXPECT_EQ(result.blocks[0].document["supplyid"], 100566);
}

TEST(ParamBlockScan, TextWithoutTrailingZeroIsParsedFromAllBytes) {
  std::vector<uint8_t> file = FakeProgram();
  Append(file, RawBlock(R"({"sourceid":"all"})"));
  ScanResult result = Scan(file);
  ASSERT_EQ(result.blocks.size(), 1u);
  EXPECT_EQ(result.blocks[0].document["sourceid"], "all");
}

TEST(ParamBlockScan, DigestOverTheTextAloneDoesNotMatch) {
  std::string json = R"({"supplyid":1})";
  std::vector<uint8_t> block = PadParamBlockData(json);
  auto header = MakeParamBlockHeader(json.data(), uint32_t(json.size()));
  for (int i = 0; i < 4; ++i) header[2 + i] = uint8_t(block.size() >> (8 * i));  // L covers the zeros
  Append(block, std::vector<uint8_t>(header.begin(), header.end()));
  std::vector<uint8_t> file = FakeProgram();
  Append(file, block);

  ScanResult result = Scan(file);
  EXPECT_TRUE(result.blocks.empty());
  std::wstring textDigest = Md5Hex(json.data(), json.size());
  std::wstring dataDigest = Md5Hex(block.data(), block.size() - kParamHeaderSize);
  LoggedLine mismatch{kLogError, "extern data md5 is not equal to header md5. header md5: " +
                                      std::string(textDigest.begin(), textDigest.end()) +
                                      " data md5: " + std::string(dataDigest.begin(), dataDigest.end())};
  EXPECT_EQ(result.lines, std::vector<LoggedLine>{mismatch});
}

// A block that fails ends the scan; the blocks after it in the file (found earlier) are kept.
TEST(ParamBlockScan, BrokenBlockEndsTheChainKeepingLaterBlocks) {
  auto corrupt = [](std::vector<uint8_t> block, size_t at, uint8_t value) {
    block[at] = value;
    return block;
  };
  std::vector<uint8_t> good = BuildParamBlock(R"({"supplyid":7})");
  std::vector<uint8_t> sane = BuildParamBlock(R"({"a":1})");  // 8 bytes of data
  size_t header = sane.size() - kParamHeaderSize;
  std::string bytesBefore = std::to_string(300 + BuildParamBlock(R"({"supplyid":1})").size() + 8);
  struct Case {
    const char* name;
    std::vector<uint8_t> broken;
    LoggedLine line;
  } cases[] = {
      {"bad magic", corrupt(sane, header, 0xF5), kEndOfChain},
      {"zero length", [&] {
         std::vector<uint8_t> b = sane;
         std::memset(HeaderOf(b) + 2, 0, 4);
         return b;
       }(), kEndOfChain},
      {"length beyond the file", corrupt(sane, header + 5, 0x7F),
       {kLogWarn, "extern data length 2130706440 exceeds the " + bytesBefore + " bytes before its header"}},
      {"data changed", corrupt(sane, 0, '['), {kLogError, ""}},
      {"syntax error", BuildParamBlock(R"({"a":1,})"), {kLogInfo, ""}},
      {"trailing garbage", BuildParamBlock(R"({"a":1} x)"), {kLogInfo, ""}},
      {"invalid UTF-8", BuildParamBlock("{\"title\":\"\xC3\x28\"}"), {kLogInfo, ""}},
      {"bare text", BuildParamBlock("supplyid=1"), {kLogInfo, ""}},
      {"deep nesting", BuildParamBlock(std::string(100000, '[') + std::string(100000, ']')), {kLogInfo, ""}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> file = FakeProgram();
    Append(file, BuildParamBlock(R"({"supplyid":1})"));  // before the broken one: never reached
    Append(file, c.broken);
    Append(file, good);
    ScanResult result = Scan(file);
    ASSERT_EQ(result.blocks.size(), 1u) << c.name;
    EXPECT_EQ(result.blocks[0].document["supplyid"], 7) << c.name;
    ASSERT_EQ(result.lines.size(), 2u) << c.name;
    EXPECT_EQ(result.lines[0], (LoggedLine{kLogInfo, "find the inject data: <loc>"})) << c.name;
    EXPECT_EQ(result.lines[1].level, c.line.level) << c.name;
    if (c.line.level == kLogInfo) {
      EXPECT_EQ(result.lines[1].text.rfind("parse the inject data: <loc> failed. exception: ", 0), 0u)
          << c.name << ": " << result.lines[1].text;
    } else if (c.line.level == kLogError) {
      EXPECT_EQ(result.lines[1].text.rfind("extern data md5 is not equal to header md5. header md5: ", 0), 0u)
          << c.name << ": " << result.lines[1].text;
    } else {
      EXPECT_EQ(result.lines[1], c.line) << c.name;
    }
  }
}

TEST(ParamBlockScan, ParseFailureCarriesTheParserMessage) {
  std::vector<uint8_t> file = FakeProgram();
  Append(file, BuildParamBlock(R"({"a":})"));
  ScanResult result = Scan(file);
  ASSERT_EQ(result.lines.size(), 1u);
  EXPECT_EQ(result.lines[0].text,
            "parse the inject data: <loc> failed. exception: [json.exception.parse_error.101] parse error at line 1, "
            "column 6: syntax error while parsing value - unexpected '}'; expected '[', '{', or a literal");
}

TEST(ParamBlockScan, NestingUpToTheLimitIsAccepted) {
  std::string deepest = std::string(kMaxParamJsonDepth, '[') + std::string(kMaxParamJsonDepth, ']');
  EXPECT_NO_THROW(ParseParamJson(deepest));
  EXPECT_THROW(ParseParamJson("[" + deepest + "]"), std::runtime_error);
}

// Fails the reads that touch a chosen offset, and remembers the largest read asked for.
class FailingReader : public PositionedReader {
 public:
  FailingReader(const std::vector<uint8_t>& file, uint64_t failAt) : memory_(file.data(), file.size()), failAt_(failAt) {}
  uint32_t ReadAt(uint64_t offset, void* buffer, uint32_t length) override {
    largestRead = std::max(largestRead, length);
    if (offset <= failAt_ && failAt_ < offset + length) return 23;  // data error (cyclic redundancy check)
    return memory_.ReadAt(offset, buffer, length);
  }
  uint32_t largestRead = 0;

 private:
  MemoryReader memory_;
  uint64_t failAt_;
};

TEST(ParamBlockScan, ReadFailuresEndTheChainWithTheSystemCode) {
  std::vector<uint8_t> file = FakeProgram();
  Append(file, BuildParamBlock(R"({"n":1})"));
  size_t secondData = file.size();
  Append(file, BuildParamBlock(R"({"n":2})"));
  size_t secondHeader = file.size() - kParamHeaderSize;
  struct Case {
    uint64_t failAt;
    size_t blocks;
    LoggedLine line;
  } cases[] = {
      {secondHeader + 39, 0, {kLogError, "read extern data header failed. error code: 23"}},
      {secondData, 0, {kLogWarn, "read extern data failed. error code: 23"}},
      {secondData - 1, 1, {kLogError, "read extern data header failed. error code: 23"}},
      {300, 1, {kLogWarn, "read extern data failed. error code: 23"}},
  };
  for (const Case& c : cases) {
    FailingReader reader(file, c.failAt);
    RecordingLog log;
    std::vector<FoundParamBlock> blocks = ScanParamBlocks(reader, file.size(), log);
    EXPECT_EQ(blocks.size(), c.blocks) << c.failAt;
    EXPECT_EQ(log.lines.back(), c.line) << c.failAt;
  }
}

TEST(ParamBlockScan, CorruptedLengthIsNeverAllocatedOrRead) {
  std::vector<uint8_t> file = FakeProgram();
  Append(file, BuildParamBlock(R"({"n":1})"));
  std::memset(file.data() + file.size() - kParamHeaderSize + 2, 0xFF, 4);  // L = 4 GiB - 1
  FailingReader reader(file, UINT64_MAX);
  RecordingLog log;
  EXPECT_TRUE(ScanParamBlocks(reader, file.size(), log).empty());
  EXPECT_EQ(reader.largestRead, kParamHeaderSize);
  LoggedLine tooLong{kLogWarn, "extern data length 4294967295 exceeds the " +
                                    std::to_string(file.size() - kParamHeaderSize) + " bytes before its header"};
  EXPECT_EQ(log.lines, std::vector<LoggedLine>{tooLong});
}

}  // namespace
