// The downloader's pure parts: URL splitting, the size header, and the transfer loop driven by a
// scripted response body and file.
#include "net/url_downloader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(SplitDownloadUrlTest, SchemeDecidesPortAndSecureFlag) {
  struct Case {
    const wchar_t* url;
    const wchar_t* scheme;
    const wchar_t* host;
    const wchar_t* path;
    bool secure;
    uint16_t port;
  };
  const Case cases[] = {
      {L"https://dl.example.com/pkg/a.zip?sig=1&t=2", L"https", L"dl.example.com", L"/pkg/a.zip?sig=1&t=2", true, 443},
      {L"http://dl.example.com/pkg/a.zip", L"http", L"dl.example.com", L"/pkg/a.zip", false, 80},
      {L"ftp://dl.example.com/a.zip", L"ftp", L"dl.example.com", L"/a.zip", false, 80},
      // A port written in the URL is not parsed: it stays part of the host name.
      {L"http://127.0.0.1:8080/a.zip", L"http", L"127.0.0.1:8080", L"/a.zip", false, 80},
      // The host ends at the first "/".
      {L"http://h/a/b//c", L"http", L"h", L"/a/b//c", false, 80},
      {L"http://h/", L"http", L"h", L"/", false, 80},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.url);
    DownloadUrlParts parts;
    ASSERT_TRUE(SplitDownloadUrl(c.url, parts));
    EXPECT_EQ(parts.scheme_, c.scheme);
    EXPECT_EQ(parts.host_, c.host);
    EXPECT_EQ(parts.path_, c.path);
    EXPECT_EQ(parts.secure_, c.secure);
    EXPECT_EQ(parts.port_, c.port);
  }
}

TEST(SplitDownloadUrlTest, RejectsWhatTheSplitDoesNotMatchAndLeavesPartsAlone) {
  const wchar_t* bad[] = {
      L"http://dl.example.com",          // no path after the host
      L"HTTP://dl.example.com/a.zip",    // the scheme is matched case-sensitively
      L"Https://dl.example.com/a.zip",
      L"file://dl.example.com/a.zip",
      L"dl.example.com/a.zip",
      L"http:///a.zip",                  // no host
      L" http://dl.example.com/a.zip",   // the whole URL must match
      L"http://dl.example.com/a.zip\r\nX-Injected: 1",
      L"http://dl.example.com/a\n.zip",
      L"",
  };
  for (size_t i = 0; i < sizeof(bad) / sizeof(bad[0]); ++i) {
    const wchar_t* url = bad[i];
    SCOPED_TRACE(testing::Message() << "bad url #" << i);
    DownloadUrlParts parts;
    parts.host_ = L"kept";
    parts.port_ = 1;
    EXPECT_FALSE(SplitDownloadUrl(url, parts));
    EXPECT_EQ(parts.host_, L"kept");
    EXPECT_EQ(parts.port_, 1);
  }
}

TEST(ParseContentLengthTest, DecimalCountsOnlyElseUnknown) {
  struct Case {
    const wchar_t* text;
    uint64_t size;
  };
  const Case cases[] = {
      {L"1234", 1234},
      {L" 42\t", 42},
      {L"0", 0},
      {L"5368709120", 5368709120ull},  // a 5 GiB disk image keeps its size
      {L"18446744073709551615", 18446744073709551615ull},
      {L"18446744073709551616", 0},  // beyond 64 bits
      {L"", 0},
      {L"-1", 0},
      {L"+5", 0},
      {L"12a", 0},
      {L"1 2", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "\"" << c.text << "\"");
    EXPECT_EQ(ParseContentLength(c.text), c.size);
  }
}

// A response body that offers its bytes in the scripted chunk sizes; after the script (or the
// data) runs out it reports 0 available, as a finished body does. It can fail one call.
class ScriptedBody : public DownloadBody {
 public:
  ScriptedBody(std::string data, std::vector<uint32_t> chunks) : data_(std::move(data)), chunks_(std::move(chunks)) {}

  bool QueryAvailable(uint32_t& count) override {
    if (failQueryAt_ == queries_++) return Fail(12030);
    const size_t left = data_.size() - offset_;
    count = next_ < chunks_.size() ? static_cast<uint32_t>(std::min<size_t>(chunks_[next_++], left)) : 0;
    return true;
  }
  bool Read(uint8_t* buffer, uint32_t count, uint32_t& read) override {
    requested_.push_back(count);
    if (failReadAt_ == requested_.size() - 1) return Fail(12002);
    read = static_cast<uint32_t>(std::min<size_t>(count, data_.size() - offset_));
    std::copy_n(data_.data() + offset_, read, buffer);
    offset_ += read;
    return true;
  }
  uint32_t LastError() const override { return lastError_; }

  size_t failQueryAt_ = SIZE_MAX;
  size_t failReadAt_ = SIZE_MAX;
  std::vector<uint32_t> requested_;  // the count passed to each Read

 private:
  bool Fail(uint32_t code) {
    lastError_ = code;
    return false;
  }
  std::string data_;
  std::vector<uint32_t> chunks_;
  size_t next_ = 0, offset_ = 0, queries_ = 0;
  uint32_t lastError_ = 0;
};

class MemorySink : public DownloadSink {
 public:
  bool Write(const uint8_t* data, uint32_t count) override {
    if (failWriteAt_ == writes_++) {
      lastError_ = 112;  // disk full
      return false;
    }
    file_.append(reinterpret_cast<const char*>(data), count);
    return true;
  }
  uint32_t LastError() const override { return lastError_; }

  std::string file_;
  size_t failWriteAt_ = SIZE_MAX;

 private:
  size_t writes_ = 0;
  uint32_t lastError_ = 0;
};

std::string Bytes(size_t count) {
  std::string data(count, '\0');
  for (size_t i = 0; i < count; ++i) data[i] = static_cast<char>('a' + i % 23);
  return data;
}

struct Transfer {
  DownloadResult result;
  std::string file;
  std::vector<uint32_t> percents;
  std::vector<uint32_t> requested;
};

Transfer RunTransfer(const std::string& data, std::vector<uint32_t> chunks, uint64_t size,
                     size_t failQueryAt = SIZE_MAX, size_t failReadAt = SIZE_MAX, size_t failWriteAt = SIZE_MAX) {
  ScriptedBody body(data, std::move(chunks));
  body.failQueryAt_ = failQueryAt;
  body.failReadAt_ = failReadAt;
  MemorySink sink;
  sink.failWriteAt_ = failWriteAt;
  Transfer t;
  t.result = TransferDownloadBody(body, sink, size, [&](uint32_t percent, uint32_t reserved) {
    EXPECT_EQ(reserved, 0u);
    t.percents.push_back(percent);
  });
  t.file = sink.file_;
  t.requested = body.requested_;
  return t;
}

TEST(TransferDownloadBodyTest, WritesEveryChunkUntilTheSizeIsReached) {
  const std::string data = Bytes(20000);
  const Transfer t = RunTransfer(data, {8192, 8192, 8192}, data.size());
  EXPECT_TRUE(t.result.ok_);
  EXPECT_EQ(t.result.errorType_, 0);
  EXPECT_EQ(t.result.errorCode_, 0u);
  EXPECT_EQ(t.file, data);
  EXPECT_EQ(t.percents, (std::vector<uint32_t>{40, 81, 100}));
}

TEST(TransferDownloadBodyTest, StopsAfterTheChunkThatReachesTheSize) {
  // The GET body is longer than the HEAD said: the chunk that passes the size is written whole,
  // its percentage exceeds 100, and nothing more is asked for.
  const std::string data = Bytes(30000);
  const Transfer t = RunTransfer(data, {8192, 8192, 8192}, 10000);
  EXPECT_TRUE(t.result.ok_);
  EXPECT_EQ(t.file, data.substr(0, 16384));
  EXPECT_EQ(t.percents, (std::vector<uint32_t>{81, 163}));
  EXPECT_EQ(t.requested.size(), 2u);
}

TEST(TransferDownloadBodyTest, UnknownSizeMovesOneChunkWithoutDividingByZero) {
  const std::string data = Bytes(20000);
  const Transfer t = RunTransfer(data, {8192, 8192}, 0);
  EXPECT_TRUE(t.result.ok_);
  EXPECT_EQ(t.file, data.substr(0, 8192));
  EXPECT_EQ(t.percents, (std::vector<uint32_t>{100}));

  const Transfer empty = RunTransfer("", {}, 0);
  EXPECT_TRUE(empty.result.ok_);
  EXPECT_TRUE(empty.file.empty());
  EXPECT_TRUE(empty.percents.empty());
}

TEST(TransferDownloadBodyTest, BodyEndingBeforeTheSizeIsAFailure) {
  const std::string data = Bytes(10000);
  const Transfer t = RunTransfer(data, {8192, 8192}, 50000);
  EXPECT_FALSE(t.result.ok_);
  EXPECT_EQ(t.result.errorType_, kDownloadErrorReadChunk);
  EXPECT_EQ(t.result.errorCode_, kDownloadErrorCodeEndOfBody);
  EXPECT_EQ(t.file, data);  // what came stays written
}

TEST(TransferDownloadBodyTest, FailuresCarryTheirTypeAndTheFailingSidesCode) {
  struct Case {
    const char* what;
    size_t failQueryAt, failReadAt, failWriteAt;
    int32_t type;
    uint32_t code;
    size_t written;
  };
  const Case cases[] = {
      {"first query", 0, SIZE_MAX, SIZE_MAX, kDownloadErrorQueryAvailable, 12030, 0},
      {"second query", 1, SIZE_MAX, SIZE_MAX, kDownloadErrorQueryAvailable, 12030, 8192},
      {"second read", SIZE_MAX, 1, SIZE_MAX, kDownloadErrorReadChunk, 12002, 8192},
      {"first write", SIZE_MAX, SIZE_MAX, 0, kDownloadErrorFile, 112, 0},
  };
  const std::string data = Bytes(20000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Transfer t = RunTransfer(data, {8192, 8192, 8192}, data.size(), c.failQueryAt, c.failReadAt, c.failWriteAt);
    EXPECT_FALSE(t.result.ok_);
    EXPECT_EQ(t.result.errorType_, c.type);
    EXPECT_EQ(t.result.errorCode_, c.code);
    EXPECT_EQ(t.file.size(), c.written);
  }
}

TEST(TransferDownloadBodyTest, ChunkBufferGrowsToTheOfferButStaysBounded) {
  // An offer beyond 8192 bytes is read in one piece; an offer beyond the bound (here the largest
  // count a 32-bit reply can carry, where "count plus one" would wrap) is read in bounded pieces.
  const std::string data = Bytes(3 * kMaxDownloadChunk);
  const Transfer t = RunTransfer(data, {20000, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu}, data.size());
  EXPECT_TRUE(t.result.ok_);
  EXPECT_EQ(t.file, data);
  ASSERT_GE(t.requested.size(), 2u);
  EXPECT_EQ(t.requested[0], 20000u);
  for (uint32_t count : t.requested) EXPECT_LE(count, kMaxDownloadChunk);
}

TEST(TransferDownloadBodyTest, WorksWithoutAProgressCallback) {
  const std::string data = Bytes(9000);
  ScriptedBody body(data, {8192, 8192});
  MemorySink sink;
  const DownloadResult result = TransferDownloadBody(body, sink, data.size(), DownloadProgress());
  EXPECT_TRUE(result.ok_);
  EXPECT_EQ(sink.file_, data);
}

}  // namespace
