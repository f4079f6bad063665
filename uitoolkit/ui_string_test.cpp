#include "uitoolkit/ui_string.h"

#include <gtest/gtest.h>

#include <string>

namespace MarkupUI {
namespace {

TEST(UiStringTest, GrowsFromInlineToHeapAndKeepsItsText) {
  UiString s(L"short");
  std::wstring expected = L"short";
  for (int i = 0; i < 100; ++i) {
    s += L'x';
    expected += L'x';
  }
  EXPECT_EQ(s.Length(), static_cast<int>(expected.size()));
  EXPECT_EQ(std::wstring(s.c_str()), expected);
  UiString moved(std::move(s));
  EXPECT_EQ(std::wstring(moved.c_str()), expected);
  EXPECT_TRUE(s.IsEmpty());
  moved.Assign(moved.c_str() + 5, 3);  // a part of itself
  EXPECT_STREQ(moved, L"xxx");
}

TEST(UiStringTest, EditingOperations) {
  UiString s(L"img/a.png.png");
  EXPECT_EQ(s.Replace(L".", L"@150."), 2);
  EXPECT_STREQ(s, L"img/a@150.png@150.png");
  EXPECT_EQ(s.Find(L"png"), 10);
  EXPECT_STREQ(s.Mid(4, 1), L"a");
  EXPECT_STREQ(s.Left(3), L"img");
  EXPECT_STREQ(s.Right(3), L"png");
  EXPECT_EQ(UiString(L"True").CompareNoCase(L"tRUE"), 0);
  EXPECT_NE(UiString(L"True").Compare(L"true"), 0);
}

TEST(UiStringMapTest, InsertFindSetRemove) {
  UiStringMap map;
  int a = 1, b = 2;
  EXPECT_TRUE(map.Insert(L"install_btn", &a));
  EXPECT_FALSE(map.Insert(L"install_btn", &b));  // existing key
  EXPECT_EQ(map.Find(L"install_btn"), &a);
  EXPECT_EQ(map.Find(L"Install_btn"), nullptr);  // case-sensitive
  EXPECT_EQ(map.Set(L"install_btn", &b), &a);
  EXPECT_EQ(map.Find(L"install_btn"), &b);
  EXPECT_TRUE(map.Remove(L"install_btn"));
  EXPECT_FALSE(map.Remove(L"install_btn"));
  EXPECT_EQ(map.GetSize(), 0);
}

TEST(UiStringMapTest, HashAndEnumerationOrder) {
  // h = h * 33 + c over the characters from last to first: "ab" = 'b' * 33 + 'a'.
  EXPECT_EQ(UiStringMap::HashKey(L"ab"), 98u * 33u + 97u);
  // One bucket: a single chain, newest first; a found entry moves to the front.
  UiStringMap map(1);
  int v = 0;
  map.Insert(L"a", &v);
  map.Insert(L"b", &v);
  map.Insert(L"c", &v);
  EXPECT_STREQ(map.GetAt(0), L"c");
  map.Find(L"a");
  EXPECT_STREQ(map.GetAt(0), L"a");
  EXPECT_STREQ(map.GetAt(2), L"b");
  // Several buckets: enumeration starts at the last bucket.
  UiStringMap wide(83);
  wide.Insert(L"\x01", &v);  // bucket 1
  wide.Insert(L"\x52", &v);  // bucket 82
  EXPECT_STREQ(wide.GetAt(0), L"\x52");
}

}  // namespace
}  // namespace MarkupUI
