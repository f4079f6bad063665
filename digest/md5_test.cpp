#include "digest/md5.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(Md5Hex, MatchesKnownDigests) {
  struct Case {
    std::string input;
    const wchar_t* digest;
  } cases[] = {
      {"", L"d41d8cd98f00b204e9800998ecf8427e"},
      {"abc", L"900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", L"f96b697d7cb7938d525a2f31aaf161d0"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       L"57edf4a22be3c955ac49da2e2107b67a"},
      // 55, 56 and 64 bytes: the padding boundaries.
      {std::string(55, 'a'), L"ef1772b6dff9a122358552954ad0df65"},
      {std::string(56, 'a'), L"3b0c8ac703f828b04c6c197006d17218"},
      {std::string(64, 'a'), L"014842d480b571495a4a0363793f7367"},
  };
  for (const auto& c : cases) EXPECT_EQ(Md5Hex(c.input.data(), c.input.size()), c.digest) << c.input.size();
}

TEST(Md5Hex, LowBytesKeepTheirLeadingZero) {
  // The digest of "a" starts with 0x0c.
  std::wstring text = Md5Hex("a", 1);
  EXPECT_EQ(text, L"0cc175b9c0f1b6a831c399e269772661");
}

TEST(Md5Stream, AnySplitGivesTheSameDigest) {
  std::vector<uint8_t> data(1000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 31 + 7);
  uint8_t whole[16];
  Md5Context c;
  Md5Init(&c);
  Md5Update(&c, data.data(), data.size());
  Md5Final(&c, whole);
  for (size_t step : {1u, 3u, 63u, 64u, 65u, 500u}) {
    Md5Init(&c);
    for (size_t off = 0; off < data.size(); off += step)
      Md5Update(&c, data.data() + off, std::min(step, data.size() - off));
    uint8_t split[16];
    Md5Final(&c, split);
    EXPECT_EQ(0, memcmp(whole, split, 16)) << "step " << step;
  }
}
