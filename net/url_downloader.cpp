// URL splitting, the size header and the transfer loop of the package downloader.
#include "net/url_downloader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <regex>

#include "foundation/ascii_text.h"

namespace {

using rezorev::EqualsIgnoringAsciiCase;

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t'; }

DownloadResult Failure(int32_t type, uint32_t code) {
  DownloadResult result;
  result.errorType_ = type;
  result.errorCode_ = code;
  return result;
}

}  // namespace

bool SplitDownloadUrl(const std::wstring& url, DownloadUrlParts& parts) {
  // ECMAScript "." matches no line terminator, so a URL carrying CR or LF (which could smuggle
  // request headers) never matches.
  static const std::wregex kPattern(L"^((http|https|ftp)://)(.+?)(/.*)");
  std::wsmatch match;
  if (!std::regex_match(url, match, kPattern)) return false;
  DownloadUrlParts split;
  split.scheme_ = match[2].str();
  split.host_ = match[3].str();
  split.path_ = match[4].str();
  split.secure_ = EqualsIgnoringAsciiCase(split.scheme_, L"HTTPS");
  split.port_ = split.secure_ ? 443 : 80;
  parts = std::move(split);
  return true;
}

uint64_t ParseContentLength(const std::wstring& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  if (begin == end) return 0;
  uint64_t value = 0;
  for (size_t i = begin; i < end; ++i) {
    const wchar_t c = text[i];
    if (c < L'0' || c > L'9') return 0;
    const uint64_t digit = static_cast<uint64_t>(c - L'0');
    if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) return 0;
    value = value * 10 + digit;
  }
  return value;
}

DownloadResult TransferDownloadBody(DownloadBody& body, DownloadSink& sink, uint64_t size,
                                    const DownloadProgress& progress) {
  // The buffer keeps one zeroed byte beyond the chunk. Allocated without throwing: running out of
  // memory is a failure of this download, not an exception through the install thread.
  uint32_t capacity = kInitialDownloadChunk;
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[capacity + 1]);
  uint64_t received = 0;
  do {
    uint32_t available = 0;
    if (!body.QueryAvailable(available)) return Failure(kDownloadErrorQueryAvailable, body.LastError());
    const uint32_t chunk = std::min(available, kMaxDownloadChunk);
    if (chunk > capacity) {
      capacity = chunk;
      buffer.reset(new (std::nothrow) uint8_t[capacity + 1]);
    }
    if (!buffer) return Failure(kDownloadErrorNoBuffer, 0);
    uint32_t read = 0;
    if (chunk > 0) {
      std::memset(buffer.get(), 0, static_cast<size_t>(chunk) + 1);
      if (!body.Read(buffer.get(), chunk, read)) return Failure(kDownloadErrorReadChunk, body.LastError());
      read = std::min(read, chunk);  // never trust a count beyond the room given
    }
    if (read == 0) {
      // The server has nothing more. Without a known size that is the whole (empty) body;
      // otherwise the package is short, and passing it off as complete would only defer the
      // failure to the digest check with a less telling error.
      if (size == 0) break;
      return Failure(kDownloadErrorReadChunk, kDownloadErrorCodeEndOfBody);
    }
    received += read;
    if (!sink.Write(buffer.get(), read)) return Failure(kDownloadErrorFile, sink.LastError());
    if (progress) {
      const uint64_t percent = size == 0 ? 100 : received * 100 / size;
      progress(static_cast<uint32_t>(percent), 0);
    }
  } while (received < size);

  DownloadResult result;
  result.ok_ = true;
  return result;
}
