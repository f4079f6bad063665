// Reading a response, the parts that need no system: what the header block says (charset,
// Content-Length, Set-Cookie values), the growing body buffer and the cut-off HTML check.
//
// The header block is WinHTTP's raw header text: the status line, then one "Name: value" line
// per header, each ended by CR LF, then an empty line. Header names match without regard to
// case. The patterns are the HeaderPattern dialect (header_pattern.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace httpresponse {

constexpr const wchar_t kCharsetPattern[] = L"charset={[A-Za-z0-9\\-_]+}";
constexpr const wchar_t kContentLengthPattern[] = L"Content-Length: {[0-9]+}";  // exactly one space
constexpr const wchar_t kSetCookiePattern[] = L"Set-Cookie:\\b*{.+?}\\n";
constexpr const wchar_t kHtmlOpenPattern[] = L"{<html>}";
constexpr const wchar_t kHtmlClosePattern[] = L"{</html>}";

// The first "charset=" name of the header block replaces `charset`; left as it is when the block
// names none.
void ReadCharset(const std::wstring& rawHeaders, std::wstring& charset);

// The first "Content-Length: " value as a number (saturating at UINT32_MAX) into
// `contentLength`; left as it is when the block has none.
void ReadContentLength(const std::wstring& rawHeaders, uint32_t& contentLength);

// Appends this block's Set-Cookie values (each once, compared without regard to case) to
// `receivedCookies`, joined by "; ", then trims spaces from both ends and makes a non-empty
// result end with ";". Unchanged when the block sets no cookie.
void AppendReceivedCookies(const std::wstring& rawHeaders, std::wstring& receivedCookies);

// True for a text that has an opening "<html>" tag (any case) but no "</html>": a page cut off
// on its way. A text without the opening tag is never cut off.
bool IsCutOffHtml(const std::wstring& text);

// The body bytes of one response: starts at kInitialCapacity bytes, zero-filled, and doubles
// whenever an append would not leave room for one terminating zero byte after the data. Never
// grows past `maxBytes` of data (a buffer the process cannot have, or a body larger than any
// document the program reads).
class ResponseBody {
 public:
  static constexpr size_t kInitialCapacity = 10240;
  static constexpr size_t kDefaultMaxBytes = size_t(64) << 20;

  // Drops earlier bytes and allocates the first buffer. False when it cannot be had (then the
  // body is empty, with no buffer).
  bool Start(size_t maxBytes = kDefaultMaxBytes);
  // Appends `length` bytes. False, with the content unchanged, when no buffer large enough may
  // be had: beyond maxBytes or out of memory.
  bool Append(const void* data, size_t length);

  const char* Data() const { return data_.get(); }  // null before Start; zero-terminated after
  size_t Size() const { return size_; }
  size_t Capacity() const { return capacity_; }

 private:
  std::unique_ptr<char[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
  size_t maxBytes_ = kDefaultMaxBytes;
};

}  // namespace httpresponse
