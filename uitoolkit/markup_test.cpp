#include "uitoolkit/markup.h"

#include <gtest/gtest.h>

#include <string>

#include "uitoolkit/skin_source.h"
#include "uitoolkit/testing/skin_fixtures.h"

namespace MarkupUI {
namespace {

std::wstring Attr(CXmlMarkupNode node, const wchar_t* name) {
  wchar_t value[CXmlMarkupNode::kValueBufferChars];
  return node.FindAttribute(name, value) ? value : L"<missing>";
}

TEST(MarkupTest, ParsesElementsAttributesAndEntities) {
  CXmlMarkup markup;
  ASSERT_TRUE(markup.ParseText(L"<Window size=\"462,312\"><Label text=\"a&amp;b\" /></Window>"));
  EXPECT_EQ(markup.ElementCount(), 2u);
  CXmlMarkupNode window = markup.RootNode();
  ASSERT_TRUE(window.IsBound());
  EXPECT_STREQ(window.ElementName(), L"Window");
  EXPECT_EQ(Attr(window, L"SIZE"), L"462,312");
  CXmlMarkupNode label = window.FirstChild();
  ASSERT_TRUE(label.IsBound());
  EXPECT_STREQ(label.ElementName(), L"Label");
  EXPECT_EQ(Attr(label, L"text"), L"a&b");
  EXPECT_FALSE(label.FirstChild().IsBound());
  EXPECT_FALSE(label.NextSibling().IsBound());
  EXPECT_FALSE(window.NextSibling().IsBound());
}

TEST(MarkupTest, WalksSiblingsAndKeepsLaterAttributesAfterDecodedEntities) {
  CXmlMarkup markup;
  ASSERT_TRUE(markup.ParseText(
      L"<Root>\n  <A x=\"&lt;&gt;&amp;&amp;\" y = \"2\"/>\n  <B>text &amp; more<C z=\"3\"/></B>\n  <D/>\n</Root>"));
  CXmlMarkupNode a = markup.RootNode().FirstChild();
  ASSERT_EQ(a.AttributeCount(), 2);
  EXPECT_STREQ(a.AttributeNameAt(0), L"x");
  EXPECT_STREQ(a.AttributeValueAt(0), L"<>&&");
  EXPECT_STREQ(a.AttributeNameAt(1), L"y");
  EXPECT_STREQ(a.AttributeValueAt(1), L"2");
  EXPECT_STREQ(a.AttributeValueAt(2), L"");  // out of range
  CXmlMarkupNode b = a.NextSibling();
  EXPECT_STREQ(b.ElementName(), L"B");
  EXPECT_EQ(b.AttributeCount(), 0);  // character data is not taken for attributes
  EXPECT_STREQ(b.FirstChild().ElementName(), L"C");
  EXPECT_EQ(Attr(b.FirstChild(), L"z"), L"3");
  EXPECT_STREQ(b.NextSibling().ElementName(), L"D");
}

TEST(MarkupTest, UnknownEntitiesStayAsWritten) {
  CXmlMarkup markup;
  ASSERT_TRUE(markup.ParseText(L"<a v=\"&foo; &am &AMP; &quot;&apos;&\"/>"));
  EXPECT_EQ(Attr(markup.RootNode(), L"v"), L"&foo; &am &AMP; \"'&");
}

TEST(MarkupTest, ByteOrderMarkIsSkippedAndUtf16IsNotUnderstood) {
  const std::string body = "<Locale><Text id=\"x\" value=\"\xC3\xA9\xE4\xB8\xAD\"/></Locale>";
  CXmlMarkup plain, marked;
  ASSERT_TRUE(plain.ParseBytes(body.data(), body.size()));
  std::string withBom = "\xEF\xBB\xBF" + body;
  ASSERT_TRUE(marked.ParseBytes(withBom.data(), withBom.size()));
  EXPECT_EQ(Attr(marked.RootNode().FirstChild(), L"value"), L"\u00E9\u4E2D");
  EXPECT_EQ(Attr(plain.RootNode().FirstChild(), L"value"), L"\u00E9\u4E2D");

  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("<a/>")) utf16 += std::string{c, '\0'};
  CXmlMarkup wide;
  EXPECT_FALSE(wide.ParseBytes(utf16.data(), utf16.size()));
  EXPECT_FALSE(wide.RootNode().IsBound());
}

TEST(MarkupTest, CommentsAndDeclarationsAreSkipped) {
  CXmlMarkup markup;
  ASSERT_TRUE(markup.ParseText(
      L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!-- window -->\n<Window><!-- a <b> c --><Label/><?pi?></Window>"));
  EXPECT_STREQ(markup.RootNode().ElementName(), L"Window");
  EXPECT_STREQ(markup.RootNode().FirstChild().ElementName(), L"Label");
  EXPECT_EQ(markup.ElementCount(), 2u);
}

TEST(MarkupTest, ElementsLeftOpenAtTheTopTwoLevelsAreAccepted) {
  for (const wchar_t* text : {L"<Window size=\"1,2\">", L"<Window>", L"<Window><Label text=\"x\">tail"}) {
    CXmlMarkup markup;
    ASSERT_TRUE(markup.ParseText(text)) << markup.ErrorMessage();
    EXPECT_STREQ(markup.RootNode().ElementName(), L"Window");
  }
}

TEST(MarkupTest, MalformedMarkupFailsWithItsReasonAndLeavesNothing) {
  struct Case {
    const wchar_t* text;
    const wchar_t* message;
  } cases[] = {
      {L"<abc></abcd>", L"Unmatched closing tag"},   // an extra letter
      {L"<abc></ab>", L"Unmatched closing tag"},     // a missing letter
      {L"<abc></abc", L"Unmatched closing tag"},
      {L"<a b='x'/>", L"Expected attribute value"},  // single quotes
      {L"<a b/>", L"Error while parsing attributes"},
      {L"<a b=\"x", L"Error while parsing attribute string"},
      {L"<a b=\"&amp;", L"Error while parsing attribute string"},
      {L"text", L"Expected start tag"},
      {L"<a", L"Error parsing element name"},
      {L"<a b=\"1\" / >", L"Expected start-tag closing"},
      {L"<a><b><c>text", L"Expected end-tag start"},
      {L"<a><b><c/>", L"Expected start tag"},
  };
  for (const Case& c : cases) {
    CXmlMarkup markup;
    EXPECT_FALSE(markup.ParseText(c.text)) << c.text;
    EXPECT_STREQ(markup.ErrorMessage(), c.message) << c.text;
    EXPECT_FALSE(markup.RootNode().IsBound()) << c.text;
    EXPECT_EQ(markup.ElementCount(), 0u);
  }
  CXmlMarkup markup;
  ASSERT_FALSE(markup.ParseText(L"<Window><Label></Labex></Window>"));
  EXPECT_STREQ(markup.ErrorLocation(), L"Labex></Window>");
  ASSERT_TRUE(markup.ParseText(L"<ok/>"));  // the next parse starts clean
  EXPECT_STREQ(markup.ErrorMessage(), L"");
}

TEST(MarkupTest, DeepNestingIsRefusedWithoutExhaustingTheStack) {
  std::wstring deep;
  for (int i = 0; i < 100000; ++i) deep += L"<a>";
  CXmlMarkup markup;
  EXPECT_FALSE(markup.ParseText(deep.c_str()));
  EXPECT_STREQ(markup.ErrorMessage(), L"Elements nested too deeply");

  std::wstring allowed;
  for (int i = 0; i < CXmlMarkup::kMaxDepth; ++i) allowed += L"<a>";
  for (int i = 0; i < CXmlMarkup::kMaxDepth; ++i) allowed += L"</a>";
  EXPECT_TRUE(markup.ParseText(allowed.c_str())) << markup.ErrorMessage();
}

TEST(MarkupTest, OnlyTheFirst64AttributesAreVisible) {
  std::wstring text = L"<a";
  for (int i = 1; i <= 70; ++i) text += L" k" + std::to_wstring(i) + L"=\"" + std::to_wstring(i) + L"\"";
  text += L"/>";
  CXmlMarkup markup;
  ASSERT_TRUE(markup.ParseText(text.c_str()));
  CXmlMarkupNode node = markup.RootNode();
  EXPECT_EQ(node.AttributeCount(), 64);
  EXPECT_STREQ(node.AttributeValueAt(63), L"64");
  EXPECT_EQ(Attr(node, L"k64"), L"64");
  EXPECT_EQ(Attr(node, L"k65"), L"<missing>");
}

TEST(MarkupTest, FindAttributeCutsLongValuesTo499Characters) {
  std::wstring longValue(600, L'v');
  longValue[498] = L'L';
  longValue[499] = L'X';
  CXmlMarkup markup;
  ASSERT_TRUE(markup.ParseText((L"<a text=\"" + longValue + L"\"/>").c_str()));
  std::wstring got = Attr(markup.RootNode(), L"text");
  EXPECT_EQ(got.size(), 499u);
  EXPECT_EQ(got.back(), L'L');
}

TEST(MarkupTest, UnboundNodesAnswerNothing) {
  CXmlMarkup empty;
  CXmlMarkupNode node = empty.RootNode();
  EXPECT_FALSE(node.IsBound());
  EXPECT_EQ(node.ElementName(), nullptr);
  EXPECT_EQ(node.AttributeNameAt(0), nullptr);
  EXPECT_EQ(node.AttributeCount(), 0);
  EXPECT_FALSE(node.FirstChild().IsBound());
  wchar_t value[500];
  EXPECT_FALSE(node.FindAttribute(L"x", value));
}

// Skin files: the package in use, else the resource folder.
class MarkupSkinFileTest : public ::testing::Test {
 protected:
  void TearDown() override {
    SkinSourceState& state = SkinSources();
    state.package.reset();
    state.packageCached = false;
    state.packageName.Empty();
    state.resourceFolder.Empty();
  }
  void UsePackage(const std::vector<uint8_t>& zip) {
    zip_ = zip;
    SkinSourceState& state = SkinSources();
    state.package.reset(OpenPackageMemory(zip_.data(), zip_.size(), nullptr));
    ASSERT_TRUE(state.package);
    state.packageCached = true;
    state.packageName = L"membuffer";
  }
  std::vector<uint8_t> zip_;
};

TEST_F(MarkupSkinFileTest, PackageEntriesUpTo4MiBLoad) {
  auto sized = [](size_t n) { return "<a>" + std::string(n - 3, 'x'); };
  UsePackage(testing::BuildZip({
      {"exact.xml", sized(CXmlMarkup::kMaxFileBytes), true},
      {"over.xml", sized(CXmlMarkup::kMaxFileBytes + 1), true},
      {"empty.xml", "", false},
      {"dir/win.xml", "<Window caption=\"0,0,0,35\"/>", false},
  }));
  CXmlMarkup markup;
  EXPECT_TRUE(markup.ParseSkinFile(L"exact.xml")) << markup.ErrorMessage();
  EXPECT_FALSE(markup.ParseSkinFile(L"over.xml"));
  EXPECT_STREQ(markup.ErrorMessage(), L"File too large");
  EXPECT_FALSE(markup.ParseSkinFile(L"empty.xml"));
  EXPECT_STREQ(markup.ErrorMessage(), L"File is empty");
  EXPECT_FALSE(markup.ParseSkinFile(L"missing.xml"));
  EXPECT_STREQ(markup.ErrorMessage(), L"Could not find ziped file");
  ASSERT_TRUE(markup.ParseSkinFile(L"DIR\\Win.xml"));
  EXPECT_STREQ(markup.RootNode().ElementName(), L"Window");
}

TEST_F(MarkupSkinFileTest, CorruptEntryAndMissingPackageAreReported) {
  std::vector<uint8_t> zip = testing::BuildZip({{"a.xml", "<a/><b/>", false}});
  zip[30 + 5] ^= 0xFF;  // a data byte of the first entry: the CRC no longer matches
  UsePackage(zip);
  CXmlMarkup markup;
  EXPECT_FALSE(markup.ParseSkinFile(L"a.xml"));
  EXPECT_STREQ(markup.ErrorMessage(), L"Could not unzip file");

  SkinSourceState& state = SkinSources();
  state.package.reset();
  state.packageCached = false;
  state.packageName = L"no_such_package.zip";
  EXPECT_FALSE(markup.ParseSkinFile(L"a.xml"));
  EXPECT_STREQ(markup.ErrorMessage(), L"Error opening zip file");
}

TEST_F(MarkupSkinFileTest, ResourceFolderFilesAreRead) {
  std::wstring path = testing::WriteTempFile("markup", "\xEF\xBB\xBF<Locale/>");
  size_t slash = path.find_last_of(L"\\/");
  SkinSources().resourceFolder = UiString(path.substr(0, slash + 1).c_str());
  CXmlMarkup markup;
  ASSERT_TRUE(markup.ParseSkinFile(path.substr(slash + 1).c_str())) << markup.ErrorMessage();
  EXPECT_STREQ(markup.RootNode().ElementName(), L"Locale");
  EXPECT_FALSE(markup.ParseSkinFile(L"no_such_file.xml"));
  EXPECT_STREQ(markup.ErrorMessage(), L"Error opening file");
  std::wstring empty = testing::WriteTempFile("markup", "");
  EXPECT_FALSE(markup.ParseSkinFile(empty.substr(slash + 1).c_str()));
  EXPECT_STREQ(markup.ErrorMessage(), L"File is empty");
}

}  // namespace
}  // namespace MarkupUI
