// DownloadUrlToFile over WinHTTP (synchronous) and Win32 file I/O.
#include <windows.h>
#include <winhttp.h>

#include "foundation/scoped_handle.h"
#include "net/url_downloader.h"

namespace {

struct InternetHandleTraits {  // WinHTTP sessions, connections and requests: 0 is empty
  static HINTERNET Empty() { return nullptr; }
  static void Free(HINTERNET h) { ::WinHttpCloseHandle(h); }
};
using ScopedInternet = rezorev::ScopedGeneric<HINTERNET, InternetHandleTraits>;

DownloadResult Failure(int32_t type) {
  DownloadResult result;
  result.errorType_ = type;
  result.errorCode_ = ::GetLastError();
  return result;
}

class WinHttpBody : public DownloadBody {
 public:
  explicit WinHttpBody(HINTERNET request) : request_(request) {}
  bool QueryAvailable(uint32_t& count) override {
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request_, &available)) return Fail();
    count = available;
    return true;
  }
  bool Read(uint8_t* buffer, uint32_t count, uint32_t& read) override {
    DWORD got = 0;
    if (!::WinHttpReadData(request_, buffer, count, &got)) return Fail();
    read = got;
    return true;
  }
  uint32_t LastError() const override { return lastError_; }

 private:
  bool Fail() {
    lastError_ = ::GetLastError();
    return false;
  }
  HINTERNET request_;
  uint32_t lastError_ = 0;
};

class FileSink : public DownloadSink {
 public:
  explicit FileSink(HANDLE file) : file_(file) {}
  bool Write(const uint8_t* data, uint32_t count) override {
    DWORD written = 0;
    if (!::WriteFile(file_, data, count, &written, nullptr)) {
      lastError_ = ::GetLastError();
      return false;
    }
    if (written != count) {  // a short write without an error: the disk took less than asked
      lastError_ = ERROR_WRITE_FAULT;
      return false;
    }
    return true;
  }
  uint32_t LastError() const override { return lastError_; }

 private:
  HANDLE file_;
  uint32_t lastError_ = 0;
};

// The HEAD answer's size, or 0 when any step fails or the header is missing. The header is read
// as text so that packages beyond 4 GiB (disk images) keep their full size.
uint64_t ProbeSize(HINTERNET head) {
  if (!::WinHttpSendRequest(head, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) return 0;
  if (!::WinHttpReceiveResponse(head, nullptr)) return 0;
  wchar_t text[64] = {};
  DWORD bytes = sizeof(text) - sizeof(wchar_t);
  if (!::WinHttpQueryHeaders(head, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, &bytes,
                             WINHTTP_NO_HEADER_INDEX)) {
    return 0;
  }
  return ParseContentLength(std::wstring(text, bytes / sizeof(wchar_t)));
}

}  // namespace

DownloadResult DownloadUrlToFile(const std::wstring& url, const std::wstring& filePath,
                                 const DownloadProgress& progress, const std::wstring& userAgent) {
  DownloadUrlParts parts;
  if (!SplitDownloadUrl(url, parts)) return Failure(kDownloadErrorUrl);
  const DWORD flags = WINHTTP_FLAG_REFRESH | (parts.secure_ ? WINHTTP_FLAG_SECURE : 0);

  // Declared in the reverse of the order they are closed in: file, GET, HEAD, connection, session.
  ScopedInternet session(::WinHttpOpen(userAgent.empty() ? kDefaultDownloadUserAgent : userAgent.c_str(),
                                       WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session.IsValid()) return Failure(kDownloadErrorSession);
  ScopedInternet connection(::WinHttpConnect(session.Get(), parts.host_.c_str(), parts.port_, 0));
  if (!connection.IsValid()) return Failure(kDownloadErrorConnect);

  ScopedInternet head(::WinHttpOpenRequest(connection.Get(), L"HEAD", parts.path_.c_str(), nullptr,
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
  const uint64_t size = head.IsValid() ? ProbeSize(head.Get()) : 0;

  ScopedInternet get(::WinHttpOpenRequest(connection.Get(), L"GET", parts.path_.c_str(), nullptr,
                                          WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
  if (!get.IsValid()) return Failure(kDownloadErrorOpenRequest);
  if (!::WinHttpSendRequest(get.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
    return Failure(kDownloadErrorSendRequest);
  }
  if (!::WinHttpReceiveResponse(get.Get(), nullptr)) return Failure(kDownloadErrorReceiveResponse);

  rezorev::ScopedHandle file(::CreateFileW(filePath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return Failure(kDownloadErrorFile);

  WinHttpBody body(get.Get());
  FileSink sink(file.Get());
  return TransferDownloadBody(body, sink, size, progress);
}
