// Catalogue parsing and the install plan, on small catalogue texts.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "foundation/log_capture.h"
#include "foundation/xml_tree.h"
#include "installer/install_engine.h"

namespace {

std::wstring ItemXml(int id, const std::wstring& name) {
  return L"<Item id=\"" + std::to_wstring(id) + L"\" name=\"" + name + L"\" writePathToRegKey=\"Software\\Test\\" +
         std::to_wstring(id) + L"\" DL_ID=\"5\" filesize=\"10\" hash=\"ABC\" url=\"http://127.0.0.1/" + name + L"\"/>";
}

std::wstring ChannelGroup(const std::wstring& range, const std::wstring& items) {
  return L"<other><OtherConfig><ChannelComponents ChannelRange=\"" + range + L"\">" + items +
         L"</ChannelComponents></OtherConfig></other>";
}

// Parses `xml` (UTF-8 of the wide text) into `engine`; the tree must load.
void ParseInto(CInstallEngine& engine, const std::wstring& xml) {
  std::string utf8 = rezorev::Utf16ToUtf8(xml);
  rezorev::XmlTree tree;
  ASSERT_TRUE(tree.Parse(utf8.data(), utf8.size()));
  engine.ParseCatalogueRoot(*tree.Root());
}

ChannelParams Channel(uint32_t supplyId) {
  ChannelParams params;
  params.supplyId_ = supplyId;
  return params;
}

}  // namespace

TEST(ChannelRange, SelectsBySupplyId) {
  struct Case {
    const wchar_t* range;
    bool selected;
    int timesLogged;
  } cases[] = {
      {L"100000-100999", true, 1},
      {L"100566,100567", true, 1},
      {L"1005660", false, 0},
      {L"100000-100999,100566", true, 2},
      {L"100567-100999, 100000-100565", false, 0},
      {L"  100566  ", true, 1},
      {L"200001-200010,100566-100566", true, 1},
      {L"", false, 0},
      {L"-100566-", true, 1},  // no range: the digits stand alone
  };
  for (const Case& c : cases) {
    ChannelParams params = Channel(100566);
    CInstallEngine engine(params);
    rezorev::LogCapture log;
    ParseInto(engine, L"<root>" + ChannelGroup(c.range, ItemXml(7, L"chan.exe")) + L"</root>");
    EXPECT_EQ(engine.ChannelItems().count(7), c.selected ? 1u : 0u) << rezorev::Utf16ToUtf8(c.range);
    EXPECT_EQ(log.Count("get channel: 100566 1 components."), c.timesLogged) << rezorev::Utf16ToUtf8(c.range);
  }
}

TEST(ChannelRange, LaterMatchingGroupReplacesEarlierWholesale) {
  ChannelParams params = Channel(100566);
  CInstallEngine engine(params);
  ParseInto(engine, L"<root><other><OtherConfig>"
                    L"<ChannelComponents ChannelRange=\"100566\">" + ItemXml(7, L"first.exe") + ItemXml(2, L"kordin.exe") +
                        L"</ChannelComponents>"
                        L"<channelcomponents ChannelRange=\"100000-199999\">" + ItemXml(7, L"second.exe") +
                        L"</channelcomponents>"
                        L"</OtherConfig></other></root>");
  ASSERT_EQ(engine.ChannelItems().size(), 1u);
  EXPECT_EQ(engine.ChannelItems().at(7).name_, L"second.exe");
}

TEST(Catalogue, ElementNamesAndFirstItemWins) {
  ChannelParams params = Channel(5);
  CInstallEngine engine(params);
  ParseInto(engine, L"<Catalogue>" + ItemXml(7, L"first.exe") + L"<ITEM id=\"7\" name=\"second.exe\" DL_ID=\"1\" filesize=\"1\"/>" +
                        L"<iTeM id=\"1\" name=\"ui.exe\" DL_ID=\"1\" filesize=\"1\"/>"
                        L"<Other><OtherConfig><ChannelComponents ChannelRange=\"5\">" + ItemXml(2, L"chan.exe") +
                        L"</ChannelComponents></OtherConfig></Other>"
                        L"<other><otherconfig><ChannelComponents ChannelRange=\"5\">" + ItemXml(10, L"wrong.exe") +
                        L"</ChannelComponents></otherconfig></other>"
                        L"<other/>"
                        L"<Unknown><Item id=\"3\" DL_ID=\"1\" filesize=\"1\"/></Unknown></Catalogue>");
  EXPECT_EQ(engine.CommonItems().size(), 2u);
  EXPECT_EQ(engine.CommonItems().at(7).name_, L"first.exe");
  EXPECT_EQ(engine.CommonItems().count(1), 1u);
  ASSERT_EQ(engine.ChannelItems().size(), 1u);  // "otherconfig" is not "OtherConfig"
  EXPECT_EQ(engine.ChannelItems().count(2), 1u);
}

TEST(Catalogue, ReadsEveryItemAttribute) {
  ChannelParams params;
  CInstallEngine engine(params);
  ParseInto(engine,
            L"<r><Item version=\"1.2.3\" id=\" 7\" name=\"Lumaport_setup.exe\" localaddpath=\"market\" installInX86=\"1\" "
            L"installInX64=\"true\" writePathToRegKey=\"Software\\Corvel\\Zentharo\\Lumaport\" DL_ID=\"18446744073709551615\" "
            L"hash=\"0123abcd\" filesize=\"42kb\" url=\"http://127.0.0.1:8080/p.exe\"/></r>");
  const ComponentItem& item = engine.CommonItems().at(7);
  EXPECT_EQ(item.id_, 7);
  EXPECT_EQ(item.version_, L"1.2.3");
  EXPECT_EQ(item.name_, L"Lumaport_setup.exe");
  EXPECT_EQ(item.localAddPath_, L"market");
  EXPECT_TRUE(item.installInX86_);
  EXPECT_FALSE(item.installInX64_);  // only exactly "1" counts
  EXPECT_EQ(item.registryKey_, L"Software\\Corvel\\Zentharo\\Lumaport");
  EXPECT_EQ(item.downloadId_, 18446744073709551615ull);
  EXPECT_EQ(item.hash_, L"0123abcd");
  EXPECT_EQ(item.fileSize_, 42u);  // trailing text ignored
  EXPECT_EQ(item.url_, L"http://127.0.0.1:8080/p.exe");
  EXPECT_TRUE(item.downloadFolder_.empty());
}

TEST(Catalogue, BadNumbersThrowLogicErrors) {
  struct Case {
    const wchar_t* item;
    bool outOfRange;
  } cases[] = {
      {L"<Item id=\"abc\" DL_ID=\"1\" filesize=\"1\"/>", false},
      {L"<Item DL_ID=\"1\" filesize=\"1\"/>", false},
      {L"<Item id=\"\" DL_ID=\"1\" filesize=\"1\"/>", false},
      {L"<Item id=\"1\" filesize=\"1\"/>", false},
      {L"<Item id=\"1\" DL_ID=\"1\" filesize=\"18446744073709551616\"/>", true},
  };
  for (const Case& c : cases) {
    ChannelParams params;
    CInstallEngine engine(params);
    std::string xml = rezorev::Utf16ToUtf8(std::wstring(L"<r>") + c.item + L"</r>");
    rezorev::XmlTree tree;
    ASSERT_TRUE(tree.Parse(xml.data(), xml.size()));
    if (c.outOfRange)
      EXPECT_THROW(engine.ParseCatalogueRoot(*tree.Root()), std::out_of_range) << xml;
    else
      EXPECT_THROW(engine.ParseCatalogueRoot(*tree.Root()), std::invalid_argument) << xml;
  }
  // A channel range beyond 64 bits is a logic error too, never a wrong selection.
  ChannelParams params = Channel(1);
  CInstallEngine engine(params);
  std::string xml = rezorev::Utf16ToUtf8(L"<r>" + ChannelGroup(L"0-99999999999999999999999", L"") + L"</r>");
  rezorev::XmlTree tree;
  ASSERT_TRUE(tree.Parse(xml.data(), xml.size()));
  EXPECT_THROW(engine.ParseCatalogueRoot(*tree.Root()), std::logic_error);
}

TEST(Catalogue, HugeInputsStayLinear) {
  // A long range text, thousands of groups and items: parsed without a hang or a deep recursion.
  ChannelParams params = Channel(4242);
  CInstallEngine engine(params);
  std::wstring range;
  for (int i = 0; i < 20000; ++i) range += std::to_wstring(i * 10) + L"-" + std::to_wstring(i * 10 + 1) + L",";
  range += std::wstring(200000, L'7') + L"x4242";
  std::wstring groups;
  for (int i = 0; i < 2000; ++i) groups += L"<ChannelComponents ChannelRange=\"1\">" + ItemXml(2, L"x") + L"</ChannelComponents>";
  std::wstring items;
  for (int i = 0; i < 5000; ++i) items += ItemXml(100 + i, L"p" + std::to_wstring(i));
  std::string xml = rezorev::Utf16ToUtf8(L"<r>" + items + L"<other><OtherConfig>" + groups +
                                         L"<ChannelComponents ChannelRange=\"" + range.substr(0, 100) +
                                         L",4242\">" + ItemXml(7, L"hit") + L"</ChannelComponents>" +
                                         L"</OtherConfig></other></r>");
  rezorev::XmlTree tree;
  ASSERT_TRUE(tree.Parse(xml.data(), xml.size()));
  engine.ParseCatalogueRoot(*tree.Root());
  EXPECT_EQ(engine.CommonItems().size(), 5000u);
  EXPECT_EQ(engine.ChannelItems().at(7).name_, L"hit");

  // 200000 sevens are far beyond 64 bits: this range text is a logic error.
  ChannelParams params2 = Channel(4242);
  CInstallEngine engine2(params2);
  std::string hostile = rezorev::Utf16ToUtf8(L"<r>" + ChannelGroup(range, L"") + L"</r>");
  ASSERT_TRUE(tree.Parse(hostile.data(), hostile.size()));
  EXPECT_THROW(engine2.ParseCatalogueRoot(*tree.Root()), std::out_of_range);
}

TEST(InstallPlan, TableOrderChannelFirstAndMissingComponentFails) {
  ChannelParams params = Channel(9);
  params.installKordin_ = true;  // components 7 (default) and 2
  CInstallEngine engine(params);
  rezorev::LogCapture log;
  ParseInto(engine, L"<r>" + ItemXml(2, L"kordin_common.exe") + ItemXml(7, L"market_common.exe") +
                        ChannelGroup(L"9", ItemXml(2, L"kordin_channel.exe")) + L"</r>");
  ASSERT_TRUE(engine.GetNeedInstallComponentItems());
  ASSERT_EQ(engine.InstallList().size(), 2u);
  EXPECT_EQ(engine.InstallList()[0].id_, 7);
  EXPECT_EQ(engine.InstallList()[0].name_, L"market_common.exe");
  EXPECT_EQ(engine.InstallList()[1].id_, 2);
  EXPECT_EQ(engine.InstallList()[1].name_, L"kordin_channel.exe");
  std::string text = log.Text();
  EXPECT_LT(text.find("need install component: 7"), text.find("need install component: 2"));

  // Enabling a component that the catalogue does not list is a catalogue error.
  params.installUI_ = true;
  rezorev::LogCapture log2;
  EXPECT_FALSE(engine.GetNeedInstallComponentItems());
  EXPECT_EQ(engine.ResultCode(), 3);
  EXPECT_EQ(log2.Count("component 1 is enabled but the catalogue lists it"), 1);
}

TEST(InstallPlan, AllInstalledTest) {
  ChannelParams params;
  CInstallEngine engine(params);
  EXPECT_TRUE(engine.AllComponentsInstalled());  // nothing enabled was probed
  engine.LocalInfo()[7].installed_ = true;
  EXPECT_TRUE(engine.AllComponentsInstalled());
  engine.LocalInfo()[2];
  EXPECT_FALSE(engine.AllComponentsInstalled());
}

TEST(InstallPlan, CatalogueNamesMustStayInTheirFolders) {
  struct Case {
    const wchar_t* path;
    bool safe;
  } cases[] = {
      {L"", true},           {L"market", true},        {L"a\\b", true},          {L"pkg.v1.exe", true},
      {L"..", false},        {L"..\\x", false},        {L"a\\..\\..\\x", false}, {L"a/../x", false},
      {L"...", false},       {L".. ", false},          {L"C:\\x", false},        {L"C:x", false},
      {L"\\x", false},       {L"/x", false},           {L"\\\\srv\\s", false},   {L"f.exe:stream", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsSafeCatalogueName(c.path), c.safe) << rezorev::Utf16ToUtf8(c.path);

  // An unsafe item ends the plan as a catalogue error before anything is queued.
  ChannelParams params;
  CInstallEngine engine(params);
  ParseInto(engine, L"<r><Item id=\"7\" name=\"..\\..\\evil.exe\" writePathToRegKey=\"Software\\x\" DL_ID=\"1\" "
                    L"filesize=\"1\"/></r>");
  EXPECT_FALSE(engine.GetNeedInstallComponentItems());
  EXPECT_EQ(engine.ResultCode(), 3);
  EXPECT_TRUE(engine.InstallList().empty());
}
