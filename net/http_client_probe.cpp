// Test program for the text requests: runs one request and prints what came of it as one JSON
// line on stdout, for the end-to-end tests that run it under Wine against loopback servers.
//
//   http_client_probe get URL DEFAULT_CHARSET            HttpGetText
//   http_client_probe post URL BODY CONTENT_TYPE          HttpPostText
//   http_client_probe client METHOD URL [options]         CHttpClient itself
//     --charset C  --keep-charset  --strict  --body TEXT  --headers TEXT (\r\n written as "|")
//     --cookie C  --receive-timeout MS  --max-body BYTES  --repeat N  --progress
//
// Texts are printed as UTF-8 hex ("...Hex") when short enough, with their MD5 always.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "digest/md5.h"
#include "foundation/text_convert.h"
#include "net/http_client.h"
#include "net/http_client_win.h"

namespace {

constexpr size_t kHexLimit = 1 << 20;

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

void PutText(nlohmann::json& out, const char* name, const std::string& utf8) {
  out[std::string(name) + "Length"] = utf8.size();
  out[std::string(name) + "Md5"] = rezorev::Utf16ToUtf8(Md5Hex(utf8.data(), utf8.size()));
  if (utf8.size() <= kHexLimit) out[std::string(name) + "Hex"] = Hex(utf8);
}

double PeakMegabytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters))) return -1;
  return double(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

int Print(nlohmann::json& out, ULONGLONG started) {
  out["elapsedMs"] = ::GetTickCount64() - started;
  out["peakMB"] = PeakMegabytes();
  std::printf("%s\n", out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
  return 0;
}

std::wstring Unbar(std::wstring text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L'|') {
      out += L"\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

int RunClient(const std::vector<std::wstring>& args, ULONGLONG started) {
  if (args.size() < 4) return 2;
  CHttpClient client(args[3]);
  int repeat = 1;
  int progressCalls = 0;
  double lastProgress = -1;
  for (size_t k = 4; k < args.size(); ++k) {
    const std::wstring& option = args[k];
    const std::wstring value = k + 1 < args.size() ? args[k + 1] : std::wstring();
    if (option == L"--charset") {
      client.SetCharset(value), ++k;
    } else if (option == L"--keep-charset") {
      client.SetKeepCharset(true);
    } else if (option == L"--strict") {
      client.SetStrictCertificates(true);
    } else if (option == L"--body") {
      std::string body = rezorev::Utf16ToUtf8(value);
      client.SetRequestBody(body.data(), body.size()), ++k;
    } else if (option == L"--headers") {
      client.SetExtraHeaders(Unbar(value)), ++k;
    } else if (option == L"--cookie") {
      client.SetCookie(value), ++k;
    } else if (option == L"--receive-timeout") {
      client.SetTimeouts(0, 60000, 30000, _wtoi(value.c_str())), ++k;
    } else if (option == L"--max-body") {
      client.SetMaxBodyBytes(size_t(_wtoi(value.c_str()))), ++k;
    } else if (option == L"--repeat") {
      repeat = _wtoi(value.c_str()), ++k;
    } else if (option == L"--progress") {
      client.SetProgressCallback([&](double percent) {
        ++progressCalls;
        lastProgress = percent;
      });
    } else {
      return 2;
    }
  }
  nlohmann::json out;
  std::vector<bool> received;
  for (int k = 0; k < repeat; ++k) received.push_back(client.Request(args[2]));
  out["received"] = received;
  out["lastError"] = client.LastError();
  out["status"] = rezorev::Utf16ToUtf8(client.StatusCode());
  out["host"] = rezorev::Utf16ToUtf8(client.Host());
  out["rawHeaders"] = rezorev::Utf16ToUtf8(client.RawHeaders().substr(0, 4096));
  out["rawHeadersLength"] = client.RawHeaders().size();
  out["charset"] = rezorev::Utf16ToUtf8(client.Charset());
  out["contentLength"] = client.ContentLength();
  out["cookies"] = rezorev::Utf16ToUtf8(client.ReceivedCookies());
  out["bodyLength"] = client.BodyLength();
  out["progressCalls"] = progressCalls;
  out["progressLast"] = lastProgress;
  PutText(out, "text", rezorev::Utf16ToUtf8(client.Text()));
  return Print(out, started);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const ULONGLONG started = ::GetTickCount64();
  std::vector<std::wstring> args(argv, argv + argc);
  if (args.size() < 2) return 2;
  nlohmann::json out;
  HttpTextResult result;
  if (args[1] == L"get" && args.size() == 4) {
    result = HttpGetText(rezorev::Utf16ToUtf8(args[2]), args[3]);
  } else if (args[1] == L"post" && args.size() == 5) {
    result = HttpPostText(rezorev::Utf16ToUtf8(args[2]), rezorev::Utf16ToUtf8(args[3]), rezorev::Utf16ToUtf8(args[4]));
  } else if (args[1] == L"client") {
    return RunClient(args, started);
  } else {
    return 2;
  }
  out["ok"] = result.ok;
  out["status"] = result.status;
  out["success"] = IsHttpSuccess(result);
  PutText(out, "body", result.body);
  return Print(out, started);
}
