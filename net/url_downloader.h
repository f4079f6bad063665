// DownloadUrlToFile: fetches one component package from its download server into a local file,
// reporting progress as a percentage while it runs.
//
// A call asks the server for the size with "HEAD", then streams the "GET" answer into the file
// chunk by chunk and stops as soon as the bytes received reach that size. It has no retries, no
// proxy fallback, no certificate-error override, and does not look at the HTTP status: the body
// of any answer, an error page included, is what gets written; the caller's MD5 check judges it.
//
// The URL splitting, the size header and the transfer loop are pure logic (both builds); the
// WinHTTP and file calls live in url_downloader_win.cpp (target build only).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Error types of a failed download. They are values of the install run's result-code table, so a
// failed download becomes the run's result code directly (4 to 13: HTTP download error, 18: file
// read/write error).
constexpr int32_t kDownloadErrorUrl = 4;             // the URL does not split into scheme, host, path
constexpr int32_t kDownloadErrorSession = 5;         // opening the WinHTTP session
constexpr int32_t kDownloadErrorConnect = 6;         // connecting to the host
constexpr int32_t kDownloadErrorOpenRequest = 7;     // opening the GET request
constexpr int32_t kDownloadErrorSendRequest = 8;     // sending the GET request
constexpr int32_t kDownloadErrorReceiveResponse = 9; // receiving the GET response
constexpr int32_t kDownloadErrorQueryAvailable = 11; // asking for the available byte count
constexpr int32_t kDownloadErrorReadChunk = 12;      // reading a chunk, or the body ended early
constexpr int32_t kDownloadErrorNoBuffer = 13;       // no chunk buffer
constexpr int32_t kDownloadErrorFile = 18;           // creating the file, or writing a chunk to it

// The system's "reached the end of the file" code (ERROR_HANDLE_EOF), given as the error code when
// the server ends the body before the size it announced.
constexpr uint32_t kDownloadErrorCodeEndOfBody = 38;

// The user agent used when the caller passes an empty one.
constexpr const wchar_t* kDefaultDownloadUserAgent = L"OrvixDownloader/1.0";

// A chunk buffer starts with room for this many bytes (plus one) and grows to the largest chunk
// the server offers, but never beyond kMaxDownloadChunk: a larger offer is read in several steps,
// so memory stays bounded whatever the server or the network layer reports.
constexpr uint32_t kInitialDownloadChunk = 8192;
constexpr uint32_t kMaxDownloadChunk = 1024 * 1024;

// Outcome of one download, returned by value.
struct DownloadResult {
  bool ok_ = false;         // true when the file was written completely
  int32_t errorType_ = 0;   // 0 on success, else one of the kDownloadError* types
  uint32_t errorCode_ = 0;  // 0 on success, else the system's last error right after the failing step
};

// Progress: the percentage received and a second value that is always 0. Called on the
// downloading thread; it must hand any UI work to the UI thread itself and return at once.
using DownloadProgress = std::function<void(uint32_t percent, uint32_t reserved)>;

// A package URL split by "^((http|https|ftp)://)(.+?)(/.*)" (case-sensitive, whole URL).
struct DownloadUrlParts {
  std::wstring scheme_;  // "http", "https" or "ftp"
  std::wstring host_;    // text between "://" and the first "/"; a port written there stays in it
  std::wstring path_;    // from that "/" to the end, query string included
  bool secure_ = false;  // the scheme is "https" (compared without regard to case)
  uint16_t port_ = 80;   // 443 when secure, else 80 (an "ftp" URL is fetched with HTTP on 80)
};

// Splits `url`. False, leaving `parts` untouched, when the URL does not match: no path after the
// host, an upper-case or unknown scheme, or a line break anywhere in it.
bool SplitDownloadUrl(const std::wstring& url, DownloadUrlParts& parts);

// The value of a "Content-Length" header as a byte count: decimal digits with optional white
// space around them. Anything else (empty, signs, other characters, beyond 64 bits) gives 0,
// which the transfer treats as "size unknown".
uint64_t ParseContentLength(const std::wstring& text);

// The transfer loop reads from a response body and writes to a file through these two
// interfaces. Each call returns false on failure; LastError() is then the system's error code of
// that failure.
class DownloadBody {
 public:
  virtual ~DownloadBody() = default;
  // How many bytes can be read now; 0 once the body has ended.
  virtual bool QueryAvailable(uint32_t& count) = 0;
  // Reads up to `count` bytes into `buffer`; `read` is how many arrived.
  virtual bool Read(uint8_t* buffer, uint32_t count, uint32_t& read) = 0;
  virtual uint32_t LastError() const = 0;
};

class DownloadSink {
 public:
  virtual ~DownloadSink() = default;
  // Writes all `count` bytes, or fails.
  virtual bool Write(const uint8_t* data, uint32_t count) = 0;
  virtual uint32_t LastError() const = 0;
};

// Moves the body into the sink chunk by chunk until `size` bytes have arrived.
//
// - size > 0: ends with success once the received count reaches `size` (a longer body is cut
//   after the chunk that reaches it; that chunk's percentage can exceed 100). A body that ends
//   before `size` is a failure: kDownloadErrorReadChunk with kDownloadErrorCodeEndOfBody.
// - size 0 (unknown): exactly one chunk is moved and the result is success; an empty body is an
//   empty file.
// - A body that reports data but delivers none counts as ended.
// - progress, when set, is called after each written chunk with received * 100 / size (64-bit,
//   truncated, low 32 bits) and 0; with size 0 it is called once with 100 after that one chunk.
// - failures: kDownloadErrorQueryAvailable, kDownloadErrorReadChunk or kDownloadErrorFile with
//   the failing side's LastError(); kDownloadErrorNoBuffer (code 0) when no chunk buffer can be
//   had. What was written before stays written.
DownloadResult TransferDownloadBody(DownloadBody& body, DownloadSink& sink, uint64_t size,
                                    const DownloadProgress& progress);

// Downloads `url` into `filePath` (an existing file is replaced) over WinHTTP with the default
// proxy settings, using `userAgent` (kDefaultDownloadUserAgent when empty). Blocks the calling
// thread for the whole transfer. The size comes from the HEAD answer's "Content-Length" (0 when
// the HEAD fails or has none); see TransferDownloadBody for how it ends. Every failure returns at
// once with its error type and the system's last error; a partly written file stays on disk.
// Handles are closed on return in the order: file, GET request, HEAD request, connection, session.
// Target build only.
DownloadResult DownloadUrlToFile(const std::wstring& url, const std::wstring& filePath,
                                 const DownloadProgress& progress, const std::wstring& userAgent);
