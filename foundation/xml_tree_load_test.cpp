#include "foundation/xml_tree.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/read_only_file.h"
#include "foundation/system_utils_test_folder.h"

namespace rezorev {
namespace {

TEST(XmlTreeLoadTest, LoadsRootTextWithoutCommentNodes) {
  TestFolder folder;
  const std::wstring path = folder.Write(
      L"compoment.xml",
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
      "<components>catalogue<!-- generated --><item id=\"7\"/><!-- end --></components>\r\n");
  XmlTree tree;
  ASSERT_TRUE(tree.Load(path));
  ASSERT_NE(tree.Root(), nullptr);
  EXPECT_EQ(tree.Root()->Text(), L"catalogue");
  ASSERT_EQ(tree.Root()->Children().size(), 1u);
  EXPECT_EQ(tree.Root()->Children()[0]->Attribute(L"id"), L"7");
}

TEST(XmlTreeLoadTest, UnreadableOrMalformedFilesLoadNoTree) {
  TestFolder folder;
  const std::wstring files[] = {
      folder / L"missing.xml",
      folder.Write(L"empty.xml", ""),
      folder.Write(L"malformed.xml", "<components><item></components>"),
      folder.Path(),  // a folder, not a file
  };
  for (const std::wstring& path : files) {
    XmlTree tree;
    ASSERT_TRUE(tree.Parse("<old/>", 6));
    EXPECT_FALSE(tree.Load(path)) << path;
    EXPECT_EQ(tree.Root(), nullptr) << path;
  }
}

TEST(XmlTreeLoadTest, LoadsAFileLargerThanOneReadRequest) {
  // Text longer than one read request: the last element proves the whole file was read.
  TestFolder folder;
  const size_t filler = ReadOnlyFile::kMaxReadChunk + (5u << 20);
  std::string document = "<components><blob>";
  document.append(filler, 'x');
  document += "</blob><item id=\"last\"/></components>";
  const std::wstring path = folder.Write(L"huge.xml", document);
  document.clear();
  document.shrink_to_fit();

  XmlTree tree;
  ASSERT_TRUE(tree.Load(path));
  EXPECT_EQ(tree.Root()->FindChild(L"blob")->Text().size(), filler);
  ASSERT_NE(tree.Root()->FindChild(L"item"), nullptr);
  EXPECT_EQ(tree.Root()->FindChild(L"item")->Attribute(L"id"), L"last");
}

}  // namespace
}  // namespace rezorev
