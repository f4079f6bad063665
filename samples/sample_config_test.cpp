// Settings of the sample programs: the lines, and finding them at the end of a package file.
#include "samples/sample_config.h"

#include <gtest/gtest.h>

namespace samples {
namespace {

TEST(SampleConfigTest, LinesParseTrimmedAndRoundTrip) {
  SampleConfig config;
  ASSERT_TRUE(ParseSampleConfigLines(" exit = 1000\r\n\ncomponent=7\nversion=2.1.0\nexit=0", config));
  EXPECT_EQ(config, (SampleConfig{{"exit", "0"}, {"component", "7"}, {"version", "2.1.0"}}));
  SampleConfig again;
  ASSERT_TRUE(ParseSampleConfigLines(FormatSampleConfig(config), again));
  EXPECT_EQ(again, config);

  for (const char* bad : {"exit", "=5", "exit=1\nbinary\x01=2", "v=\xc3\xa9"}) {
    SCOPED_TRACE(bad);
    SampleConfig kept{{"k", "v"}};
    EXPECT_FALSE(ParseSampleConfigLines(bad, kept));
    EXPECT_EQ(kept, (SampleConfig{{"k", "v"}}));
  }
}

TEST(SampleConfigTest, AppendedSettingsAreTheTextAfterTheLastMarker) {
  const std::string program = std::string("MZ\x90\0\x03", 5) + "\n[orvix-sample-package]\n\x01\x02 program bytes";
  EXPECT_TRUE(FindAppendedSampleConfig(program).empty());  // the marker inside the program is not a block
  EXPECT_EQ(FindAppendedSampleConfig(program + "\n[orvix-sample-package]\nexit=1000\nunpack=0\n"),
            (SampleConfig{{"exit", "1000"}, {"unpack", "0"}}));
  EXPECT_TRUE(FindAppendedSampleConfig("").empty());
}

TEST(SampleConfigTest, NumbersFallBackWhenAbsentOrMalformed) {
  const SampleConfig config{{"exit", "1000"}, {"neg", "-3"}, {"bad", "12x"}, {"empty", ""}};
  EXPECT_EQ(SampleConfigNumber(config, "exit", 0), 1000);
  EXPECT_EQ(SampleConfigNumber(config, "neg", 0), -3);
  EXPECT_EQ(SampleConfigNumber(config, "bad", 7), 7);
  EXPECT_EQ(SampleConfigNumber(config, "empty", 7), 7);
  EXPECT_EQ(SampleConfigNumber(config, "missing", 7), 7);
}

}  // namespace
}  // namespace samples
