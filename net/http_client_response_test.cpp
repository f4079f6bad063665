#include "net/http_client_response.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "net/http_client.h"

namespace httpresponse {
namespace {

const std::wstring kStatus = L"HTTP/1.1 200 OK\r\n";

TEST(ResponseHeadersTest, Charset) {
  struct Case {
    std::wstring headers;
    std::wstring expected;
  } cases[] = {
      {kStatus + L"Content-Type: text/xml; charset=UTF-8\r\n\r\n", L"UTF-8"},
      {kStatus + L"content-type: text/plain;CHARSET=gb_2312-80\r\n\r\n", L"gb_2312-80"},
      {kStatus + L"Content-Type: a; charset=GBK\r\nX-Other: charset=big5\r\n\r\n", L"GBK"},  // the first
      {kStatus + L"Content-Type: text/html\r\n\r\n", L"default"},
      {kStatus + L"Content-Type: text/html; charset=\r\n\r\n", L"default"},  // no name: nothing found
  };
  for (const auto& c : cases) {
    std::wstring charset = L"default";
    ReadCharset(c.headers, charset);
    EXPECT_EQ(charset, c.expected);
  }
}

TEST(ResponseHeadersTest, ContentLength) {
  struct Case {
    std::wstring headers;
    uint32_t expected;
  } cases[] = {
      {kStatus + L"Content-Length: 25600\r\n\r\n", 25600},
      {kStatus + L"content-length: 12\r\n\r\n", 12},
      {kStatus + L"Content-Length:12\r\n\r\n", 7},         // no space after the colon: not read
      {kStatus + L"Content-Length:  12\r\n\r\n", 7},       // two spaces neither
      {kStatus + L"Content-Length: 99999999999999\r\n\r\n", UINT32_MAX},
      {kStatus + L"\r\n", 7},
  };
  for (const auto& c : cases) {
    uint32_t length = 7;
    ReadContentLength(c.headers, length);
    EXPECT_EQ(length, c.expected) << std::string(c.headers.begin(), c.headers.end());
  }
}

TEST(ResponseHeadersTest, CookiesAreCollectedOnceAndAccumulate) {
  std::wstring cookies;
  AppendReceivedCookies(kStatus + L"Set-Cookie: sid=1\r\nSet-Cookie: sid=1\r\nset-cookie:\tSID=1\r\n"
                                  L"Set-Cookie: lang=en; Path=/\r\n\r\n",
                        cookies);
  EXPECT_EQ(cookies, L"sid=1; lang=en; Path=/;");
  AppendReceivedCookies(kStatus + L"Content-Type: text/plain\r\n\r\n", cookies);  // no cookie: unchanged
  EXPECT_EQ(cookies, L"sid=1; lang=en; Path=/;");
  AppendReceivedCookies(kStatus + L"Set-Cookie: b=2  \r\n\r\n", cookies);  // a later request
  EXPECT_EQ(cookies, L"sid=1; lang=en; Path=/;b=2;");

  std::wstring many, expected;
  for (int k = 0; k < 5000; ++k) {
    many += L"Set-Cookie: c" + std::to_wstring(k) + L"=v\r\nSet-Cookie: c" + std::to_wstring(k) + L"=v\r\n";
    expected += (k ? L"; c" : L"c") + std::to_wstring(k) + L"=v";
  }
  std::wstring collected;
  AppendReceivedCookies(kStatus + many + L"\r\n", collected);
  EXPECT_EQ(collected, expected + L";");
}

TEST(ResponseHeadersTest, CutOffHtml) {
  struct Case {
    const wchar_t* text;
    bool cutOff;
  } cases[] = {
      {L"<HTML><body>half a page", true},
      {L"<html><body>whole</body></html>", false},
      {L"<Html>x</HTML>", false},
      {L"<?xml version=\"1.0\"?><components/>", false},
      {L"<html lang=\"en\"><body>", false},  // only the bare tag counts as an opening tag
      {L"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsCutOffHtml(c.text), c.cutOff) << std::wstring(c.text).size();
}

TEST(ResponseBodyTest, GrowsByDoublingAndKeepsATerminatingZero) {
  ResponseBody body;
  EXPECT_EQ(body.Data(), nullptr);
  ASSERT_TRUE(body.Start());
  EXPECT_EQ(body.Capacity(), 10240u);
  EXPECT_EQ(body.Data()[0], 0);

  // 10239 bytes still leave room for the zero; the next byte doubles the buffer.
  std::string bytes(10239, 'a');
  ASSERT_TRUE(body.Append(bytes.data(), bytes.size()));
  EXPECT_EQ(body.Capacity(), 10240u);
  ASSERT_TRUE(body.Append("b", 1));
  EXPECT_EQ(body.Capacity(), 20480u);

  // Two and a half times the first buffer, in uneven reads: doubled twice, whole, terminated.
  ASSERT_TRUE(body.Start());
  std::string whole;
  for (size_t k = 0; whole.size() < 25600; ++k) whole += char('a' + k % 26);
  for (size_t at = 0; at < whole.size(); at += 3001) {
    std::string part = whole.substr(at, 3001);
    ASSERT_TRUE(body.Append(part.data(), part.size()));
  }
  EXPECT_EQ(body.Capacity(), 40960u);
  EXPECT_EQ(body.Size(), whole.size());
  EXPECT_EQ(std::string(body.Data()), whole);
}

TEST(ResponseBodyTest, RefusesToGrowPastItsLimit) {
  ResponseBody body;
  ASSERT_TRUE(body.Start(30000));
  std::string bytes(20000, 'x');
  ASSERT_TRUE(body.Append(bytes.data(), bytes.size()));
  EXPECT_FALSE(body.Append(bytes.data(), bytes.size()));
  EXPECT_EQ(body.Size(), 20000u);  // unchanged
  EXPECT_TRUE(body.Append(bytes.data(), 10000));
  EXPECT_FALSE(body.Append("y", 1));
  EXPECT_EQ(body.Data()[body.Size()], 0);
  ASSERT_TRUE(body.Start(30000));  // a new response drops the old bytes
  EXPECT_EQ(body.Size(), 0u);
}

TEST(HttpTextResultTest, SuccessAndStatus) {
  struct Case {
    HttpTextResult result;
    bool success;
  } cases[] = {
      {{true, 200, "x"}, true},
      {{true, 302, "moved"}, true},
      {{true, 200, ""}, false},
      {{true, 404, "not here"}, false},
      {{true, 400, "bad"}, false},
      {{true, 399, "x"}, true},
      {{true, -1, "x"}, true},  // signed comparison
      {{false, 0, ""}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsHttpSuccess(c.result), c.success) << c.result.status;

  EXPECT_EQ(ParseHttpStatus(L"200"), 200);
  EXPECT_EQ(ParseHttpStatus(L"404"), 404);
  EXPECT_EQ(ParseHttpStatus(L""), 0);
  EXPECT_EQ(ParseHttpStatus(L"abc"), 0);
  EXPECT_EQ(ParseHttpStatus(L"99999999999"), INT_MAX);
}

}  // namespace
}  // namespace httpresponse
