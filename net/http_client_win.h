// CHttpClient: one text request over WinHTTP (GET or POST), with up to three attempts, a fallback
// to the user's Internet Explorer proxy settings when a send fails, the whole body read into
// memory and decoded by the response's charset.
//
// The object owns its WinHTTP session (opened by the first request, kept until destruction), its
// body buffer and its copy of the request body. Settings are set before Request; the response
// state is filled by it. One thread at a time; all calls block, bounded by the timeouts.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <functional>
#include <string>

#include "foundation/scoped_handle.h"
#include "net/http_client_response.h"

struct WinHttpHandleTraits {  // WinHTTP sessions, connections and requests: 0 is empty
  static HINTERNET Empty() { return nullptr; }
  static void Free(HINTERNET h) { ::WinHttpCloseHandle(h); }
};
using ScopedWinHttpHandle = rezorev::ScopedGeneric<HINTERNET, WinHttpHandleTraits>;

class CHttpClient {
 public:
  // Last-error values of the client's own failures; otherwise the system's code of the failing
  // WinHTTP call is kept.
  static constexpr uint32_t kErrorEmptyUrl = 3;          // ERROR_PATH_NOT_FOUND
  static constexpr uint32_t kErrorCutOffHtml = 13;       // ERROR_INVALID_DATA
  static constexpr uint32_t kErrorBadMethod = 87;        // ERROR_INVALID_PARAMETER
  static constexpr uint32_t kErrorBodyTooLarge = 8;      // ERROR_NOT_ENOUGH_MEMORY
  static constexpr uint32_t kErrorUrlTooLong = 122;      // ERROR_INSUFFICIENT_BUFFER
  static constexpr int kAttempts = 3;
  static constexpr size_t kMaxHostLength = 259;
  static constexpr size_t kMaxPathLength = 1299;         // the path with its query string
  // Security flags of an https request that ignores certificate errors: unknown authority,
  // invalid date, host name not matching the certificate.
  static constexpr DWORD kIgnoreCertificateErrors = 0x3100;

  explicit CHttpClient(std::wstring url);
  ~CHttpClient() = default;
  CHttpClient(const CHttpClient&) = delete;
  CHttpClient& operator=(const CHttpClient&) = delete;

  // Performs `method` ("GET" or "POST", any case; sent in upper case). True when a response was
  // received and read (for a GET: and it is not a cut-off HTML page); the response state below
  // is then filled. False otherwise, with LastError() saying why: 3 empty URL, 87 other method,
  // 13 a page still cut off after three attempts, 8 a body past the body limit or beyond
  // memory, 122 a host over 259 or path over 1299 characters, else the system's code.
  bool Request(const std::wstring& method);

  // --- settings ---
  void SetStrictCertificates(bool strict) { strictCertificates_ = strict; }  // default false
  void SetCharset(std::wstring charset) { charset_ = std::move(charset); }  // default charset
  void SetKeepCharset(bool keep) { keepCharset_ = keep; }
  // Receives bytes received x 100 / Content-Length while the body is read (only when the
  // response has a non-zero Content-Length).
  void SetProgressCallback(std::function<void(double)> callback) { progress_ = std::move(callback); }
  void SetCookie(std::wstring cookie) { cookie_ = std::move(cookie); }
  // A request body to send (its length may be 0); the bytes are copied.
  void SetRequestBody(const void* data, size_t length);
  void SetExtraHeaders(std::wstring headers) { extraHeaders_ = std::move(headers); }  // lines ended by CR LF
  void SetProxy(std::wstring proxy) { proxy_ = std::move(proxy); }  // "host:port"
  void SetProxyUserName(std::wstring name) { proxyUserName_ = std::move(name); }
  void SetProxyPassword(std::wstring password) { proxyPassword_ = std::move(password); }
  void SetUserAgent(std::wstring agent) { userAgent_ = std::move(agent); }  // before the first request
  // Milliseconds; 0 means no limit.
  void SetTimeouts(int resolve, int connect, int send, int receive);
  // Bodies longer than this fail the request (kErrorBodyTooLarge).
  void SetMaxBodyBytes(size_t maxBytes) { maxBodyBytes_ = maxBytes; }

  // --- response state ---
  const std::wstring& Url() const { return url_; }
  const std::wstring& Host() const { return host_; }
  const std::wstring& RawHeaders() const { return rawHeaders_; }
  const std::wstring& Text() const { return text_; }
  const std::wstring& Charset() const { return charset_; }
  const char* BodyBytes() const { return body_.Data(); }
  size_t BodyLength() const { return bodyLength_; }
  uint32_t ContentLength() const { return contentLength_; }
  const std::wstring& ReceivedCookies() const { return receivedCookies_; }  // over all requests
  uint32_t LastError() const { return lastError_; }
  const std::wstring& StatusCode() const { return statusCode_; }

 private:
  // Where the request goes, from the URL.
  struct Target {
    std::wstring verb;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring path;
    bool https = false;
  };
  // The open handles of one request; the request is closed before its connection.
  struct OpenRequest {
    ScopedWinHttpHandle connection;
    ScopedWinHttpHandle request;
    bool headersAdded = false;
  };

  bool OpenSession();
  bool SplitUrl(const std::wstring& verb, Target& target);
  bool Open(HINTERNET session, const Target& target, OpenRequest& open);
  void AddRequestHeaders(OpenRequest& open);
  void ApplyExplicitProxy(HINTERNET request);
  bool SendThroughIeProxy(const Target& target, OpenRequest& open);
  bool SwitchToProxySession(const wchar_t* proxy, const wchar_t* bypass, const Target& target, OpenRequest& open);
  // Steps after a response arrived: headers, status, body, decoding. False only when the body
  // could not be held.
  bool ReadResponse(HINTERNET request);
  void ReadHeaderBlock(HINTERNET request);
  void ReadStatusCode(HINTERNET request);
  bool ReadBody(HINTERNET request);
  void ReportProgress(size_t received) const;
  void RecordLastError() { lastError_ = ::GetLastError(); }

  ScopedWinHttpHandle session_;
  ScopedWinHttpHandle proxySession_;  // through the Internet Explorer proxy, once needed
  bool strictCertificates_ = false;
  std::wstring url_;
  std::wstring host_;
  std::wstring rawHeaders_;
  std::wstring text_;
  std::wstring charset_;
  httpresponse::ResponseBody body_;
  size_t bodyLength_ = 0;
  std::function<void(double)> progress_;
  uint32_t contentLength_ = 0;
  std::wstring receivedCookies_;
  std::wstring cookie_;
  std::string requestBody_;
  bool hasRequestBody_ = false;
  std::wstring extraHeaders_;
  std::wstring proxy_;
  uint32_t lastError_ = 0;
  std::wstring statusCode_;
  std::wstring userAgent_ = L"OrvixDownloader";
  bool keepCharset_ = false;
  std::wstring proxyUserName_;
  std::wstring proxyPassword_;
  int resolveTimeout_ = 0;
  int connectTimeout_ = 60000;
  int sendTimeout_ = 30000;
  int receiveTimeout_ = 30000;
  size_t maxBodyBytes_ = httpresponse::ResponseBody::kDefaultMaxBytes;
};
