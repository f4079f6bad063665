// The report's request format: nonce, signature, completed data and its serialisation, URL.
#include "net/data_report_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

ReportFacts SampleFacts() {
  ReportFacts facts;
  facts.clientVersion_ = 5;
  facts.supplyId_ = 4294967295u;
  facts.guid_ = "0123456789abcdef0123456789abcdef";
  facts.sourceId_ = "tencent";
  facts.language_ = L"zh_CN";
  facts.osMajor_ = 10;
  facts.osMinor_ = 0;
  facts.osBuild_ = 19045;
  return facts;
}

TEST(DataReportFormatTest, NonceIsAlwaysFiveDigitsAndVaries) {
  std::set<uint32_t> seen;
  for (int i = 0; i < 2000; ++i) {
    const uint32_t nonce = DrawReportNonce();
    ASSERT_GE(nonce, 10000u);
    ASSERT_LE(nonce, 99999u);
    ASSERT_EQ(std::to_string(nonce).size(), 5u);
    seen.insert(nonce);
  }
  EXPECT_GT(seen.size(), 1500u);  // a random source, not a counter stuck on a few values
}

TEST(DataReportFormatTest, SignatureIsMd5OfKeyNonceAndGuidOnly) {
  EXPECT_EQ(std::strlen(kReportKey), 23u);
  // md5("wkp#serverNotice_285!&*|12345|0123456789abcdef0123456789abcdef"), computed elsewhere.
  EXPECT_EQ(ReportSignature(12345, "0123456789abcdef0123456789abcdef"),
            "e19111d24b92bde9d91c74442a24a3db");
  EXPECT_EQ(ReportSignature(99999, ""), "3fdae07a5a5e9f5318877b003af753e1");
  EXPECT_NE(ReportSignature(12346, "0123456789abcdef0123456789abcdef"),
            ReportSignature(12345, "0123456789abcdef0123456789abcdef"));
}

TEST(DataReportFormatTest, ClickReportSerialisesInNameOrderWithoutEventCode) {
  nlohmann::json data = ClickEventData(4);
  CompleteReportData(data, SampleFacts(), 1700000000);
  EXPECT_EQ(SerializeReportData(data),
            "{\"client_version\":5,\"guid\":\"0123456789abcdef0123456789abcdef\",\"icommon0\":5,"
            "\"ireserve0\":4,\"language\":\"zh_CN\",\"strcommon0\":\"tencent\","
            "\"supplyid\":4294967295,\"sys_build\":19045,\"sys_major\":10,\"sys_minor\":0,"
            "\"time_t\":1700000000,\"type\":2}");
}

TEST(DataReportFormatTest, NumberedEventCarriesItsCodeAndParameters) {
  // An MD5 mismatch: code 202, ireserve5 = 20, the component type, ireserve7 = 0.
  nlohmann::json data = NumberedEventData(202, 20, 3, 0);
  ReportFacts facts = SampleFacts();
  facts.language_ = L"pt_BR\u00e7";  // non-ASCII text stays raw UTF-8
  CompleteReportData(data, facts, -1);
  const std::string text = SerializeReportData(data);
  EXPECT_NE(text.find("\"ireserve1\":202,\"ireserve5\":20,\"ireserve6\":3,\"ireserve7\":0,"),
            std::string::npos);
  EXPECT_EQ(text.find("ireserve0"), std::string::npos);
  EXPECT_NE(text.find("\"language\":\"pt_BR\xc3\xa7\""), std::string::npos);
  EXPECT_NE(text.find("\"time_t\":-1,"), std::string::npos);
  EXPECT_EQ(text.find(' '), std::string::npos);
}

TEST(DataReportFormatTest, CommonMembersReplaceEqualNamesFromTheEvent) {
  nlohmann::json data = {{"type", 7}, {"guid", "forged"}, {"ireserve0", 1}};
  CompleteReportData(data, SampleFacts(), 0);
  EXPECT_EQ(data["type"], 2);
  EXPECT_EQ(data["guid"], "0123456789abcdef0123456789abcdef");
  EXPECT_EQ(data.size(), 12u);
}

TEST(DataReportFormatTest, InvalidUtf8InTheDataIsReplacedNotThrown) {
  nlohmann::json data = ClickEventData(0);
  ReportFacts facts = SampleFacts();
  facts.sourceId_ = "src\xff";
  CompleteReportData(data, facts, 0);
  std::string text;
  ASSERT_NO_THROW(text = SerializeReportData(data));
  EXPECT_NE(text.find("\"strcommon0\":\"src\xef\xbf\xbd\""), std::string::npos);
}

TEST(DataReportFormatTest, UrlAppendsSignNonceAndUnescapedData) {
  EXPECT_EQ(ReportUrl("https://report.example", "abc", 10000, "{\"a\":1}"),
            "https://report.example/report/clientreport?retflag=json&sign=abc&nonce=10000"
            "&data={\"a\":1}");
}

}  // namespace
