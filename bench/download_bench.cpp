// Downloads one package with DownloadUrlToFile and prints how fast and in how much memory, timed
// inside the program so that the start-up of the program (and of Wine) is left out. Two more
// modes measure what the platform itself delivers, as references for the same run.
//
//   download_bench.exe <url> <file>
//       DownloadUrlToFile. Prints "ok", "error_type", "error_code", "bytes", "seconds",
//       "mib_per_s", "peak_working_set_before" (bytes, before the download) and
//       "peak_working_set" (bytes, after it; GetProcessMemoryInfo PeakWorkingSetSize).
//   download_bench.exe --winhttp-loop <url>
//       The bare WinHTTP read loop: the same session, flags and proxy as the downloader, one GET,
//       WinHttpReadData into a 1 MiB buffer until the body ends, nothing written anywhere. No
//       downloader built on WinHTTP can be faster. Prints "bytes", "seconds", "mib_per_s".
//   download_bench.exe --winsock-loop <port> <path> <buffer bytes>
//       Plain Winsock: one GET to 127.0.0.1:<port>, recv into a buffer of the given size until
//       the server closes, nothing written. Shows what one receive call costs. Prints "bytes"
//       (the header included), "seconds", "mib_per_s", "calls".
#include <winsock2.h>
#include <windows.h>
#include <psapi.h>
#include <winhttp.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <vector>

#include "net/url_downloader.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

size_t PeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  return ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters)) ? counters.PeakWorkingSetSize : 0;
}

void PrintRate(double bytes, double seconds) {
  std::printf("bytes %.0f\nseconds %.3f\nmib_per_s %.1f\n", bytes, seconds,
              seconds > 0 ? bytes / 1048576.0 / seconds : 0.0);
}

int Download(const wchar_t* url, const wchar_t* file) {
  const size_t before = PeakWorkingSet();
  const auto start = Clock::now();
  const DownloadResult result = DownloadUrlToFile(url, file, DownloadProgress(), L"");
  const double seconds = SecondsSince(start);
  const size_t peak = PeakWorkingSet();

  WIN32_FILE_ATTRIBUTE_DATA data = {};
  double bytes = 0;
  if (::GetFileAttributesExW(file, GetFileExInfoStandard, &data)) {
    bytes = double((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  }
  std::printf("ok %d\nerror_type %d\nerror_code %u\n", result.ok_ ? 1 : 0, result.errorType_, result.errorCode_);
  PrintRate(bytes, seconds);
  std::printf("peak_working_set_before %zu\npeak_working_set %zu\n", before, peak);
  return result.ok_ ? 0 : 1;
}

struct InternetCloser {
  void operator()(void* handle) const { ::WinHttpCloseHandle(handle); }
};
using Internet = std::unique_ptr<void, InternetCloser>;

int WinHttpLoop(const wchar_t* url) {
  DownloadUrlParts parts;
  if (!SplitDownloadUrl(url, parts)) return 2;
  const DWORD flags = WINHTTP_FLAG_REFRESH | (parts.secure_ ? WINHTTP_FLAG_SECURE : 0);
  Internet session(::WinHttpOpen(kDefaultDownloadUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return 1;
  Internet connection(::WinHttpConnect(session.get(), parts.host_.c_str(), parts.port_, 0));
  if (!connection) return 1;
  Internet get(::WinHttpOpenRequest(connection.get(), L"GET", parts.path_.c_str(), nullptr, WINHTTP_NO_REFERER,
                                    WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
  if (!get) return 1;
  const auto start = Clock::now();
  if (!::WinHttpSendRequest(get.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !::WinHttpReceiveResponse(get.get(), nullptr)) {
    return 1;
  }
  std::vector<char> buffer(1024 * 1024);
  double bytes = 0;
  for (;;) {
    DWORD got = 0;
    if (!::WinHttpReadData(get.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got)) return 1;
    if (got == 0) break;
    bytes += got;
  }
  PrintRate(bytes, SecondsSince(start));
  return 0;
}

int WinsockLoop(int port, const wchar_t* path, int bufferBytes) {
  if (port <= 0 || port > 65535 || bufferBytes <= 0) return 2;
  WSADATA data;
  if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) return 1;
  const SOCKET so = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (so == INVALID_SOCKET) return 1;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  const auto start = Clock::now();
  if (::connect(so, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) return 1;
  char request[1024];
  const int length = std::snprintf(request, sizeof(request),
                                   "GET %ls HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", path);
  if (length <= 0 || length >= static_cast<int>(sizeof(request)) || ::send(so, request, length, 0) != length) return 1;
  std::vector<char> buffer(static_cast<size_t>(bufferBytes));
  double bytes = 0;
  unsigned long calls = 0;
  for (;;) {
    const int got = ::recv(so, buffer.data(), bufferBytes, 0);
    if (got < 0) return 1;
    ++calls;
    if (got == 0) break;
    bytes += got;
  }
  const double seconds = SecondsSince(start);
  ::closesocket(so);
  ::WSACleanup();
  PrintRate(bytes, seconds);
  std::printf("calls %lu\n", calls);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wcscmp(argv[1], L"--winhttp-loop") == 0) return WinHttpLoop(argv[2]);
  if (argc == 5 && std::wcscmp(argv[1], L"--winsock-loop") == 0) {
    return WinsockLoop(_wtoi(argv[2]), argv[3], _wtoi(argv[4]));
  }
  if (argc == 3 && argv[1][0] != L'-') return Download(argv[1], argv[2]);
  std::fprintf(stderr,
               "usage: download_bench <url> <file>\n"
               "       download_bench --winhttp-loop <url>\n"
               "       download_bench --winsock-loop <port> <path> <buffer bytes>\n");
  return 2;
}
