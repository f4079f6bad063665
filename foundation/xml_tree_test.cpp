#include "foundation/xml_tree.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace rezorev {
namespace {

bool ParseText(XmlTree& tree, const std::string& text) { return tree.Parse(text.data(), text.size()); }

std::string Nested(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "<n>";
  for (int i = 0; i < depth; ++i) text += "</n>";
  return text;
}

const char kCatalogue[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<!-- component catalogue -->\n"
    "<components>\n"
    "  catalogue text\n"
    "  <!-- a comment -->\n"
    "  <common>\n"
    "    <item id=\"7\" name=\"Lumaport\" version=\"2.1\" id=\"8\"/>\n"
    "    <item id=\"1\" name=\"UI\"><![CDATA[a<b]]></item>\n"
    "  </common>\n"
    "  <Common/>\n"
    "  <channel supply=\"1\"/>\n"
    "</components>\n";

TEST(XmlTreeTest, BuildsElementsTextAndAttributesInDocumentOrder) {
  XmlTree tree;
  ASSERT_TRUE(ParseText(tree, kCatalogue));
  const XmlNode* root = tree.Root();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->Name(), L"components");
  EXPECT_EQ(root->Parent(), nullptr);
  EXPECT_EQ(root->Text(), L"\n  catalogue text\n  ");  // comments make no nodes and no text

  std::vector<std::wstring> names;
  for (const XmlNode* child : root->Children()) {
    names.push_back(child->Name());
    EXPECT_EQ(child->Parent(), root);
  }
  EXPECT_EQ(names, (std::vector<std::wstring>{L"common", L"Common", L"channel"}));

  const XmlNode* common = root->FindChild(L"common");
  ASSERT_NE(common, nullptr);
  EXPECT_EQ(common->Children().size(), 2u);
  EXPECT_EQ(root->FindChild(L"Common"), root->Children()[1]) << "lookup must be case-sensitive";
  EXPECT_EQ(root->FindChild(L"missing"), nullptr);

  const XmlNode* first = common->FindChild(L"item");
  ASSERT_NE(first, nullptr);
  // A repeated attribute replaces the value in place.
  const std::vector<std::pair<std::wstring, std::wstring>> attributes = {
      {L"id", L"8"}, {L"name", L"Lumaport"}, {L"version", L"2.1"}};
  EXPECT_EQ(first->Attributes(), attributes);
  EXPECT_EQ(first->Attribute(L"name"), L"Lumaport");
  EXPECT_EQ(first->Attribute(L"Name"), L"");
  EXPECT_EQ(first->Text(), L"");
  EXPECT_EQ(common->Children()[1]->Text(), L"a<b");
}

TEST(XmlTreeTest, DecodesUtf8AndUtf16Documents) {
  const std::string utf8 = "<r name=\"\xE6\xB8\xB8\xE6\x88\x8F\">Velmora \xC3\xA9</r>";
  // The same document in UTF-16 LE with a byte-order mark.
  std::string utf16 = "\xFF\xFE";
  for (char16_t c : std::u16string(u"<r name=\"\u6e38\u620f\">Velmora \u00e9</r>")) {
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  for (const std::string& document : {utf8, utf16}) {
    XmlTree tree;
    ASSERT_TRUE(ParseText(tree, document));
    EXPECT_EQ(tree.Root()->Attribute(L"name"), L"\u6e38\u620f");
    EXPECT_EQ(tree.Root()->Text(), L"Velmora \u00e9");
  }
}

TEST(XmlTreeTest, RejectedDocumentsLeaveNoTree) {
  const std::vector<std::string> documents = {
      "",
      "   \n",
      "not xml",
      "<components>",
      "<components></common>",
      "<a x=\"1></a>",
      "<?xml version=\"1.0\"?>",
      "<!-- only a comment -->",
      std::string("<a>\0</a>", 8),
      Nested(XmlTree::kMaxDepth + 1),
      Nested(100000),  // would overflow the stack if the builder followed it
  };
  for (const std::string& document : documents) {
    SCOPED_TRACE(document.substr(0, 40));
    XmlTree tree;
    ASSERT_TRUE(ParseText(tree, "<old/>"));
    EXPECT_FALSE(ParseText(tree, document));
    EXPECT_EQ(tree.Root(), nullptr) << "a failed parse kept the previous tree";
  }
}

TEST(XmlTreeTest, AcceptsNestingUpToTheBound) {
  XmlTree tree;
  ASSERT_TRUE(ParseText(tree, Nested(XmlTree::kMaxDepth)));
  int depth = 0;
  for (const XmlNode* node = tree.Root(); node != nullptr; node = node->FindChild(L"n")) ++depth;
  EXPECT_EQ(depth, XmlTree::kMaxDepth);
}

TEST(XmlTreeTest, FuzzEntrySurvivesTruncatedAndDamagedCatalogues) {
  const std::string catalogue = kCatalogue;
  for (size_t length = 0; length <= catalogue.size(); ++length) {
    std::string damaged = catalogue.substr(0, length);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(damaged.data()), damaged.size());
    if (length < catalogue.size()) {
      damaged = catalogue;
      damaged[length] = static_cast<char>(damaged[length] ^ 0xA5);
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(damaged.data()), damaged.size());
    }
  }
}

}  // namespace
}  // namespace rezorev
