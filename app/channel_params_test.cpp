#include "app/channel_params.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/param_test_support.h"

namespace {

using json = nlohmann::json;
using rezorev::kLogError;
using rezorev::kLogInfo;
using rezorev::kLogWarn;

TEST(ChannelParams, DefaultsSelectMainWindowAndOnlyTheLauncher) {
  ChannelParams p;
  EXPECT_EQ(p.international_, 0);
  EXPECT_EQ(p.supplyId_, 0u);
  EXPECT_EQ(p.buildId_, 0u);
  EXPECT_EQ(p.silentMode_, 0);
  EXPECT_EQ(p.backgroundImageCount_, 0);
  EXPECT_TRUE(p.area_.empty() && p.sourceId_.empty() && p.packageName_.empty() && p.marketExternParams_.empty());
  EXPECT_TRUE(p.title_.empty() && p.gameName_.empty());
  EXPECT_FALSE(p.createLauncherIcon_);
  EXPECT_TRUE(p.installMarket_);
  EXPECT_FALSE(p.installUI_ || p.installRootfs_ || p.installVDI_ || p.installVDI71_ || p.installKordin_);
}

TEST(ChannelParams, EveryKeyReachesItsField) {
  json document = json::parse(R"({
    "buildid": 18446744073709551615, "supplyid": 100566, "international": -2, "pkgName": "com.pelto.brawlmoor",
    "area": "sea", "silentMode": 1, "marketExternParams": "--from=ad", "sourceid": "src-9", "bkgPngNumber": 3,
    "createMarketIcon": true, "installMarket": false, "installUI": true, "installRootfs": true,
    "installVDI": true, "installVDI71": true, "installKordin": true,
    "gameName": "Br\u00e4wl \u6e38\u620f", "title": "Orvix \u00fcber", "unknown": [1, 2]
  })");
  ChannelParams p;
  ApplyChannelDocument(document, p);
  EXPECT_EQ(p.buildId_, UINT64_MAX);
  EXPECT_EQ(p.supplyId_, 100566u);
  EXPECT_EQ(p.international_, -2);
  EXPECT_EQ(p.packageName_, "com.pelto.brawlmoor");
  EXPECT_EQ(p.area_, "sea");
  EXPECT_EQ(p.silentMode_, 1);
  EXPECT_EQ(p.marketExternParams_, "--from=ad");
  EXPECT_EQ(p.sourceId_, "src-9");
  EXPECT_EQ(p.backgroundImageCount_, 3);
  EXPECT_TRUE(p.createLauncherIcon_);
  EXPECT_FALSE(p.installMarket_);
  EXPECT_TRUE(p.installUI_ && p.installRootfs_ && p.installVDI_ && p.installVDI71_ && p.installKordin_);
  EXPECT_EQ(p.gameName_, L"Br\u00e4wl \u6e38\u620f");
  EXPECT_EQ(p.title_, L"Orvix \u00fcber");

  // ApplyChannelParams alone leaves the two UTF-16 texts to its caller.
  ChannelParams q;
  ApplyChannelParams(document, q);
  EXPECT_EQ(q.supplyId_, 100566u);
  EXPECT_TRUE(q.gameName_.empty() && q.title_.empty());
}

TEST(ChannelParams, TypedReads) {
  struct Case {
    const char* document;
    std::function<bool(const ChannelParams&)> holds;
    const char* error;  // nullptr: no exception
  } cases[] = {
      {R"({"supplyid": true})", [](auto& p) { return p.supplyId_ == 1; }, nullptr},
      {R"({"international": false})", [](auto& p) { return p.international_ == 0; }, nullptr},
      {R"({"bkgPngNumber": true})", [](auto& p) { return p.backgroundImageCount_ == 1; }, nullptr},
      {R"({"supplyid": 100566.9})", [](auto& p) { return p.supplyId_ == 100566; }, nullptr},
      {R"({"international": -3.7})", [](auto& p) { return p.international_ == -3; }, nullptr},
      {R"({"buildid": 349.99})", [](auto& p) { return p.buildId_ == 349; }, nullptr},
      {R"({"buildid": 1e300})", [](auto& p) { return p.buildId_ == UINT64_MAX; }, nullptr},
      {R"({"silentMode": -1e300})", [](auto& p) { return p.silentMode_ == 0; }, nullptr},  // INT64_MIN's low bits
      {R"({"supplyid": -1})", [](auto& p) { return p.supplyId_ == 4294967295u; }, nullptr},
      {R"({"supplyid": 4294967297})", [](auto& p) { return p.supplyId_ == 1; }, nullptr},
      {R"({"buildid": true})", nullptr, "[json.exception.type_error.302] type must be number, but is boolean"},
      {R"({"supplyid": "100566"})", nullptr, "[json.exception.type_error.302] type must be number, but is string"},
      {R"({"silentMode": null})", nullptr, "[json.exception.type_error.302] type must be number, but is null"},
      {R"({"installUI": 1})", nullptr, "[json.exception.type_error.302] type must be boolean, but is number"},
      {R"({"createMarketIcon": "true"})", nullptr, "[json.exception.type_error.302] type must be boolean, but is string"},
      {R"({"pkgName": 5})", nullptr, "[json.exception.type_error.302] type must be string, but is number"},
      {R"({"sourceid": {}})", nullptr, "[json.exception.type_error.302] type must be string, but is object"},
      {R"({"title": ["a"]})", nullptr, "[json.exception.type_error.302] type must be string, but is array"},
      {R"({"gameName": false})", nullptr, "[json.exception.type_error.302] type must be string, but is boolean"},
  };
  for (const Case& c : cases) {
    ChannelParams p;
    json document = json::parse(c.document);
    if (c.error) {
      try {
        ApplyChannelDocument(document, p);
        ADD_FAILURE() << c.document << " did not throw";
      } catch (const json::type_error& e) {
        EXPECT_STREQ(e.what(), c.error) << c.document;
      }
    } else {
      ApplyChannelDocument(document, p);
      EXPECT_TRUE(c.holds(p)) << c.document;
    }
  }
}

TEST(ChannelParams, DocumentsOtherThanObjectsSetNothing) {
  for (const char* text : {R"([{"supplyid": 5}, 1])", "7", R"("title")", "null"}) {
    ChannelParams p;
    ApplyChannelDocument(json::parse(text), p);
    EXPECT_EQ(p.supplyId_, 0u) << text;
    EXPECT_TRUE(p.title_.empty()) << text;
  }
}

// Reading the parameters end to end over a stamped file in memory, with the exact log lines.
struct ParamsRun {
  ChannelParams params;
  std::vector<LoggedLine> lines;  // locations masked
};

ParamsRun ReadFrom(const std::vector<uint8_t>& file) {
  MemoryReader reader(file.data(), file.size());
  RecordingLog log;
  ParamsRun run;
  ReadChannelParams(reader, file.size(), run.params, log);
  run.lines = MaskLocations(log.lines);
  return run;
}

std::vector<LoggedLine> ClosingLines(const std::string& pkg, const std::string& supply, const std::string& build,
                                     const std::string& appid, const std::string& bkg) {
  return {{kLogInfo, "need install pkg [" + pkg + "]"},
          {kLogInfo, "OrvixDownloader inner SupplyId [" + supply + "]"},
          {kLogInfo, "OrvixDownloader inner buildid [" + build + "]"},
          {kLogInfo, "OrvixDownloader inner appid [" + appid + "]"},
          {kLogInfo, "Background png number: " + bkg}};
}

std::vector<LoggedLine> Concat(std::vector<LoggedLine> a, const std::vector<LoggedLine>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const LoggedLine kFound{kLogInfo, "find the inject data: <loc>"};
const LoggedLine kEndOfChain{kLogWarn, "check magic failed or length is zero"};

TEST(ReadChannelParams, FileWithoutBlocksKeepsDefaults) {
  ParamsRun run = ReadFrom(FakeProgram());
  EXPECT_EQ(run.lines, Concat({kEndOfChain}, ClosingLines("", "0", "0", "", "0")));
  EXPECT_TRUE(run.params.installMarket_);
}

TEST(ReadChannelParams, ShippedLayoutWithUpperCaseDigest) {
  std::string prefix = R"({"supplyid":100566,"buildid":349,"international":0,"bkgPngNumber":3,"title":")";
  std::string text = prefix + std::string(112 - prefix.size() - 2, 'T') + "\"}";
  ASSERT_EQ(text.size(), 112u);
  std::vector<uint8_t> block = BuildParamBlock(text);
  ASSERT_EQ(block.size(), 160u);
  for (size_t i = 120 + 6; i < 120 + 38; ++i) block[i] = uint8_t(std::toupper(block[i]));
  std::vector<uint8_t> file = FakeProgram(4096);
  Append(file, block);

  ParamsRun run = ReadFrom(file);
  EXPECT_EQ(run.params.supplyId_, 100566u);
  EXPECT_EQ(run.params.buildId_, 349u);
  EXPECT_EQ(run.params.backgroundImageCount_, 3);
  EXPECT_EQ(run.params.title_, std::wstring(112 - prefix.size() - 2, L'T'));
  EXPECT_EQ(run.lines, Concat({kFound, kEndOfChain}, ClosingLines("", "100566", "349", "", "3")));
}

TEST(ReadChannelParams, BlockAtTheEndOfTheFileWins) {
  std::vector<uint8_t> file = FakeProgram();
  Append(file, BuildParamBlock(R"({"supplyid": 111, "buildid": 349, "pkgName": "first"})"));
  Append(file, BuildParamBlock(R"({"supplyid": 222, "sourceid": "second"})"));
  ParamsRun run = ReadFrom(file);
  EXPECT_EQ(run.params.supplyId_, 222u);
  EXPECT_EQ(run.lines, Concat({kFound, kFound, kEndOfChain}, ClosingLines("first", "222", "349", "second", "0")));
}

TEST(ReadChannelParams, WrongTypeKeepsEarlierKeysAndSkipsTheRest) {
  std::vector<uint8_t> file = FakeProgram();
  // "buildid" is read before "supplyid"; "international" after it, and the next block not at all.
  Append(file, BuildParamBlock(R"({"international": 1, "supplyid": "100566", "buildid": 349})"));
  Append(file, BuildParamBlock(R"({"bkgPngNumber": 4})"));
  ParamsRun run = ReadFrom(file);
  EXPECT_EQ(run.params.buildId_, 349u);
  EXPECT_EQ(run.params.supplyId_, 0u);
  EXPECT_EQ(run.params.international_, 0);
  EXPECT_EQ(run.params.backgroundImageCount_, 0);
  EXPECT_EQ(run.lines,
            Concat({kFound, kFound, kEndOfChain,
                    {kLogError,
                     "init params from json failed. exception: [json.exception.type_error.302] type must be number, "
                     "but is string"}},
                   ClosingLines("", "0", "349", "", "0")));
}

TEST(ReadChannelParams, ArrayDocumentSetsNothingAndLogsNoError) {
  std::vector<uint8_t> file = FakeProgram();
  Append(file, BuildParamBlock(R"([{"supplyid": 5}])"));
  ParamsRun run = ReadFrom(file);
  EXPECT_EQ(run.lines, Concat({kFound, kEndOfChain}, ClosingLines("", "0", "0", "", "0")));
}

TEST(ReadChannelParams, CorruptedLengthKeepsDefaults) {
  std::vector<uint8_t> file = FakeProgram();
  Append(file, BuildParamBlock(R"({"supplyid": 5})"));
  file[file.size() - kParamHeaderSize + 2] ^= 0x01;  // L one byte off: wrong data, wrong digest
  ParamsRun run = ReadFrom(file);
  EXPECT_EQ(run.params.supplyId_, 0u);
  ASSERT_EQ(run.lines.size(), 6u);
  EXPECT_EQ(run.lines[0].level, kLogError);
  EXPECT_EQ(run.lines[0].text.rfind("extern data md5 is not equal to header md5. header md5: ", 0), 0u);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// A short run of the fuzz entry over mutated trailers and JSON texts, so that every sanitizer
// build sees them.
TEST(ReadChannelParams, FuzzSmokeOverMutatedInputs) {
  std::vector<uint8_t> trailer = {0};  // raw file tail
  Append(trailer, FakeProgram(64));
  Append(trailer, BuildParamBlock(R"({"supplyid": 1, "title": "a"})"));
  Append(trailer, RawBlock(R"([[{"buildid": 2.5}]])"));
  Append(trailer, BuildParamBlock(R"({"installUI": true})"));
  std::string text = R"({"buildid": 1e400, "supplyid": -7.5, "pkgName": "\u00e9", "installVDI": false, "title": "\ud83d\ude00"})";
  std::vector<uint8_t> json = {1};  // one block's JSON text
  json.insert(json.end(), text.begin(), text.end());

  uint32_t state = 12345;
  auto next = [&state] { return state = state * 1103515245u + 12345u, state >> 8; };
  for (const std::vector<uint8_t>* seed : {&trailer, &json}) {
    for (int round = 0; round < 2000; ++round) {
      std::vector<uint8_t> mutated = *seed;
      for (uint32_t flips = 1 + next() % 4; flips > 0; --flips) {
        size_t at = 1 + next() % (mutated.size() - 1);
        if (seed == &trailer) at = std::max<size_t>(at, mutated.size() - 160);  // mostly headers and text
        mutated[at] = uint8_t(next());
      }
      mutated.resize(mutated.size() - next() % 3 * (next() % 40));
      LLVMFuzzerTestOneInput(mutated.data(), mutated.size());
    }
  }
}
