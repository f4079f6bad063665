// CHttpClient over WinHTTP, and the two text-request wrappers.
//
// Sections
//   1. Request: session, URL, connection, the three attempts
//   2. Proxy: the explicit proxy and the Internet Explorer fallback
//   3. Response: header block, status, body, decoding
//   4. HttpGetText, HttpPostText
#include "net/http_client_win.h"

#include <algorithm>
#include <cwctype>
#include <vector>

#include "foundation/text_convert.h"
#include "net/charset.h"
#include "net/http_client.h"

namespace {

// Owner of the strings that WinHttpGetIEProxyConfigForCurrentUser hands out.
class IeProxyConfig {
 public:
  IeProxyConfig() = default;
  ~IeProxyConfig() {
    for (LPWSTR s : {config_.lpszAutoConfigUrl, config_.lpszProxy, config_.lpszProxyBypass}) {
      if (s) ::GlobalFree(s);
    }
  }
  IeProxyConfig(const IeProxyConfig&) = delete;
  IeProxyConfig& operator=(const IeProxyConfig&) = delete;
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG* Get() { return &config_; }
  const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& operator*() const { return config_; }

 private:
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config_{};
};

// Owner of the strings that WinHttpGetProxyForUrl hands out.
class ProxyInfo {
 public:
  ProxyInfo() = default;
  ~ProxyInfo() {
    if (info_.lpszProxy) ::GlobalFree(info_.lpszProxy);
    if (info_.lpszProxyBypass) ::GlobalFree(info_.lpszProxyBypass);
  }
  ProxyInfo(const ProxyInfo&) = delete;
  ProxyInfo& operator=(const ProxyInfo&) = delete;
  WINHTTP_PROXY_INFO* Get() { return &info_; }

 private:
  WINHTTP_PROXY_INFO info_{};
};

std::wstring UpperAscii(std::wstring text) {
  for (auto& c : text) {
    if (c >= L'a' && c <= L'z') c = wchar_t(c - L'a' + L'A');
  }
  return text;
}

// Text queried with WinHttpQueryHeaders into a buffer sized by a first query. False (and
// `text` untouched) when the size query fails with anything but the insufficient-buffer error,
// or the second query fails.
bool QueryHeaderText(HINTERNET request, DWORD level, std::wstring& text) {
  DWORD bytes = 0;
  if (::WinHttpQueryHeaders(request, level, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &bytes,
                            WINHTTP_NO_HEADER_INDEX) ||
      ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    return false;
  }
  std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
  if (!::WinHttpQueryHeaders(request, level, WINHTTP_HEADER_NAME_BY_INDEX, buffer.data(), &bytes,
                             WINHTTP_NO_HEADER_INDEX)) {
    return false;
  }
  text.assign(buffer.data(), bytes / sizeof(wchar_t));
  return true;
}

}  // namespace

CHttpClient::CHttpClient(std::wstring url) : url_(std::move(url)) {}

void CHttpClient::SetRequestBody(const void* data, size_t length) {
  requestBody_.assign(static_cast<const char*>(data), length);
  hasRequestBody_ = true;
}

void CHttpClient::SetTimeouts(int resolve, int connect, int send, int receive) {
  resolveTimeout_ = resolve;
  connectTimeout_ = connect;
  sendTimeout_ = send;
  receiveTimeout_ = receive;
}

// ---------------------------------------------------------------------------------------------
// 1. Request
// ---------------------------------------------------------------------------------------------

bool CHttpClient::OpenSession() {
  if (session_.IsValid()) return true;
  session_.Reset(::WinHttpOpen(userAgent_.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session_.IsValid()) {
    RecordLastError();
    return false;
  }
  return true;
}

bool CHttpClient::SplitUrl(const std::wstring& verb, Target& target) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = DWORD(-1);  // -1: point into the URL instead of copying
  parts.dwHostNameLength = DWORD(-1);
  parts.dwUrlPathLength = DWORD(-1);
  parts.dwExtraInfoLength = DWORD(-1);
  if (!::WinHttpCrackUrl(url_.c_str(), 0, 0, &parts)) {
    RecordLastError();
    return false;
  }
  target.verb = verb;
  target.host.assign(parts.lpszHostName ? parts.lpszHostName : L"", parts.dwHostNameLength);
  target.path.assign(parts.lpszUrlPath ? parts.lpszUrlPath : L"", parts.dwUrlPathLength);
  if (parts.lpszExtraInfo) target.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (target.host.empty() || target.host.size() > kMaxHostLength || target.path.size() > kMaxPathLength) {
    lastError_ = kErrorUrlTooLong;
    return false;
  }
  target.port = parts.nPort;
  target.https = parts.nScheme == INTERNET_SCHEME_HTTPS;
  return true;
}

bool CHttpClient::Open(HINTERNET session, const Target& target, OpenRequest& open) {
  open.request.Reset();
  open.connection.Reset(::WinHttpConnect(session, target.host.c_str(), target.port, 0));
  if (!open.connection.IsValid()) {
    RecordLastError();
    return false;
  }
  open.request.Reset(::WinHttpOpenRequest(open.connection.Get(), target.verb.c_str(),
                                          target.path.empty() ? nullptr : target.path.c_str(), nullptr,
                                          WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                          target.https ? WINHTTP_FLAG_SECURE : 0));
  if (!open.request.IsValid()) {
    RecordLastError();
    return false;
  }
  open.headersAdded = false;
  if (target.https && !strictCertificates_) {
    DWORD flags = kIgnoreCertificateErrors;
    if (!::WinHttpSetOption(open.request.Get(), WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof(flags))) {
      RecordLastError();
    }
  }
  return true;
}

bool CHttpClient::Request(const std::wstring& method) {
  if (url_.empty()) {
    lastError_ = kErrorEmptyUrl;
    return false;
  }
  const std::wstring verb = UpperAscii(method);
  if (verb != L"GET" && verb != L"POST") {
    lastError_ = kErrorBadMethod;
    return false;
  }
  if (!OpenSession()) return false;
  ::WinHttpSetTimeouts(session_.Get(), resolveTimeout_, connectTimeout_, sendTimeout_, receiveTimeout_);
  Target target;
  if (!SplitUrl(verb, target)) return false;
  host_ = target.host;
  OpenRequest open;
  if (!Open(session_.Get(), target, open)) return false;

  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    // Once per request handle: added again, every value would be coalesced with the first
    // ("Content-Length: 5; 5").
    AddRequestHeaders(open);
    ApplyExplicitProxy(open.request.Get());
    if (!::WinHttpSendRequest(open.request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
      RecordLastError();
      if (!SendThroughIeProxy(target, open)) continue;
    }
    if (hasRequestBody_) {
      static const char kNothing = 0;
      DWORD written = 0;
      const void* data = requestBody_.empty() ? &kNothing : requestBody_.data();
      if (!::WinHttpWriteData(open.request.Get(), data, DWORD(requestBody_.size()), &written)) RecordLastError();
    }
    if (!::WinHttpReceiveResponse(open.request.Get(), nullptr)) {
      RecordLastError();
      continue;
    }
    if (!ReadResponse(open.request.Get())) return false;
    if (verb == L"POST") return true;
    if (httpresponse::IsCutOffHtml(text_)) {
      lastError_ = kErrorCutOffHtml;  // requested again: the page may come whole next time
      continue;
    }
    return true;
  }
  return false;
}

void CHttpClient::AddRequestHeaders(OpenRequest& open) {
  if (open.headersAdded) return;
  open.headersAdded = true;
  const DWORD flags = WINHTTP_ADDREQ_FLAG_COALESCE_WITH_SEMICOLON;
  if (!extraHeaders_.empty() &&
      !::WinHttpAddRequestHeaders(open.request.Get(), extraHeaders_.c_str(), DWORD(extraHeaders_.size()), flags)) {
    RecordLastError();
  }
  if (!cookie_.empty()) {
    std::wstring line = L"Cookie: " + cookie_;
    if (!::WinHttpAddRequestHeaders(open.request.Get(), line.c_str(), DWORD(line.size()), flags)) RecordLastError();
  }
}

// ---------------------------------------------------------------------------------------------
// 2. Proxy
// ---------------------------------------------------------------------------------------------

void CHttpClient::ApplyExplicitProxy(HINTERNET request) {
  if (proxy_.empty()) return;
  WINHTTP_PROXY_INFO info{};
  info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
  info.lpszProxy = const_cast<LPWSTR>(proxy_.c_str());
  if (!::WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof(info))) RecordLastError();
  if (proxyUserName_.empty()) return;
  if (!::WinHttpSetOption(request, WINHTTP_OPTION_PROXY_USERNAME, const_cast<LPWSTR>(proxyUserName_.c_str()),
                          DWORD(proxyUserName_.size()))) {
    RecordLastError();
  }
  if (!proxyPassword_.empty() &&
      !::WinHttpSetOption(request, WINHTTP_OPTION_PROXY_PASSWORD, const_cast<LPWSTR>(proxyPassword_.c_str()),
                          DWORD(proxyPassword_.size()))) {
    RecordLastError();
  }
}

// A proxy set on a request that is already open is not honoured by every WinHTTP (Wine's takes
// the option and ignores it), so the attempts that go through the Internet Explorer proxy run on
// a request of their own, opened through a session that names that proxy. The old request and
// connection are closed.
bool CHttpClient::SwitchToProxySession(const wchar_t* proxy, const wchar_t* bypass, const Target& target,
                                       OpenRequest& open) {
  proxySession_.Reset(::WinHttpOpen(userAgent_.c_str(), WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy,
                                    bypass && *bypass ? bypass : WINHTTP_NO_PROXY_BYPASS, 0));
  if (!proxySession_.IsValid()) {
    RecordLastError();
    return false;
  }
  ::WinHttpSetTimeouts(proxySession_.Get(), resolveTimeout_, connectTimeout_, sendTimeout_, receiveTimeout_);
  if (!Open(proxySession_.Get(), target, open)) return false;
  AddRequestHeaders(open);
  return true;
}

// After a failed send. True only when a send through an automatic-configuration proxy succeeded;
// a named proxy from the settings is used from the next attempt on. Proxy and bypass strings are
// used whole, whatever their length. When the request cannot be opened again, the send has
// failed and so will the remaining attempts.
bool CHttpClient::SendThroughIeProxy(const Target& target, OpenRequest& open) {
  IeProxyConfig config;
  if (!::WinHttpGetIEProxyConfigForCurrentUser(config.Get())) {
    RecordLastError();
    return false;
  }
  if ((*config).lpszAutoConfigUrl) {
    WINHTTP_AUTOPROXY_OPTIONS options{};
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT | WINHTTP_AUTOPROXY_CONFIG_URL;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP;
    options.lpszAutoConfigUrl = (*config).lpszAutoConfigUrl;
    options.fAutoLogonIfChallenged = TRUE;
    ProxyInfo info;
    if (!::WinHttpGetProxyForUrl(session_.Get(), url_.c_str(), &options, info.Get())) {
      RecordLastError();
      return false;
    }
    if (info.Get()->lpszProxy && !SwitchToProxySession(info.Get()->lpszProxy, info.Get()->lpszProxyBypass, target, open)) {
      return false;
    }
    const DWORD total = hasRequestBody_ ? DWORD(requestBody_.size()) : 0;
    if (!::WinHttpSendRequest(open.request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, total, 0)) {
      RecordLastError();
      return false;
    }
    return true;
  }
  if ((*config).lpszProxy) SwitchToProxySession((*config).lpszProxy, (*config).lpszProxyBypass, target, open);
  return false;
}

// ---------------------------------------------------------------------------------------------
// 3. Response
// ---------------------------------------------------------------------------------------------

bool CHttpClient::ReadResponse(HINTERNET request) {
  ReadHeaderBlock(request);
  ReadStatusCode(request);
  if (!ReadBody(request)) return false;
  DecodeBody(body_.Data(), bodyLength_, charset_, text_);
  return true;
}

void CHttpClient::ReadHeaderBlock(HINTERNET request) {
  if (!QueryHeaderText(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, rawHeaders_)) return;
  if (!keepCharset_) httpresponse::ReadCharset(rawHeaders_, charset_);
  httpresponse::ReadContentLength(rawHeaders_, contentLength_);
  httpresponse::AppendReceivedCookies(rawHeaders_, receivedCookies_);
}

void CHttpClient::ReadStatusCode(HINTERNET request) {
  QueryHeaderText(request, WINHTTP_QUERY_STATUS_CODE, statusCode_);
}

bool CHttpClient::ReadBody(HINTERNET request) {
  bodyLength_ = 0;
  if (!body_.Start(maxBodyBytes_)) {
    lastError_ = kErrorBodyTooLarge;
    return false;
  }
  std::vector<char> chunk;
  bool held = true;
  for (;;) {
    DWORD available = 0;
    if (!::WinHttpQueryDataAvailable(request, &available)) {
      RecordLastError();  // a broken or stalled transfer: keep what arrived
      break;
    }
    ReportProgress(body_.Size());
    if (available == 0) break;
    chunk.assign(size_t(available) + 1, 0);
    DWORD read = 0;
    if (!::WinHttpReadData(request, chunk.data(), available, &read)) {
      RecordLastError();
      break;
    }
    if (read == 0) break;
    if (!body_.Append(chunk.data(), read)) {
      lastError_ = kErrorBodyTooLarge;
      held = false;
      break;
    }
  }
  ReportProgress(body_.Size());
  bodyLength_ = body_.Size();
  return held;
}

void CHttpClient::ReportProgress(size_t received) const {
  if (progress_ && contentLength_ != 0) progress_(double(received) * 100.0 / double(contentLength_));
}

// ---------------------------------------------------------------------------------------------
// 4. Wrappers
// ---------------------------------------------------------------------------------------------

namespace {

HttpTextResult ResultOf(CHttpClient& client, bool received) {
  HttpTextResult result;
  if (!received) return result;
  result.ok = true;
  result.status = ParseHttpStatus(client.StatusCode());
  result.body = rezorev::Utf16ToUtf8(client.Text());
  return result;
}

}  // namespace

HttpTextResult HttpGetText(const std::string& url, const std::wstring& defaultCharset) {
  CHttpClient client(rezorev::Utf8ToUtf16(url));
  client.SetCharset(defaultCharset);
  client.SetStrictCertificates(true);
  bool received = client.Request(L"GET");
  return ResultOf(client, received);
}

HttpTextResult HttpPostText(const std::string& url, const std::string& body, const std::string& contentType) {
  CHttpClient client(rezorev::Utf8ToUtf16(url));
  client.SetRequestBody(body.data(), body.size());
  client.SetExtraHeaders(L"Content-Length: " + std::to_wstring(body.size()) +
                         L"\r\nContent-Type: " + rezorev::Utf8ToUtf16(contentType) + L"\r\n");
  bool received = client.Request(L"POST");
  return ResultOf(client, received);
}
