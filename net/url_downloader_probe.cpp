// Runs one DownloadUrlToFile and prints what came of it as one JSON line, for the end-to-end
// downloader tests against the loopback package server.
//
//   url_downloader_probe.exe <url> <file> [user agent]
//
// Prints {"ok", "errorType", "errorCode", "progress": [percentages, at most the first 64],
// "progressCalls", "lastPercent", "reservedAlwaysZero", "md5": digest of the file or ""}.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "digest/md5.h"
#include "foundation/text_convert.h"
#include "net/url_downloader.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: url_downloader_probe <url> <file> [user agent]\n");
    return 2;
  }
  const std::wstring file = argv[2];
  std::vector<uint32_t> percents;
  uint64_t calls = 0;
  uint32_t last = 0;
  bool reservedZero = true;
  DownloadProgress progress = [&](uint32_t percent, uint32_t reserved) {
    if (percents.size() < 64) percents.push_back(percent);
    ++calls;
    last = percent;
    reservedZero = reservedZero && reserved == 0;
  };
  const DownloadResult result = DownloadUrlToFile(argv[1], file, progress, argc > 3 ? argv[3] : L"");

  nlohmann::json out;
  out["ok"] = result.ok_;
  out["errorType"] = result.errorType_;
  out["errorCode"] = result.errorCode_;
  out["progress"] = percents;
  out["progressCalls"] = calls;
  out["lastPercent"] = last;
  out["reservedAlwaysZero"] = reservedZero;
  out["md5"] = ::GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES
                   ? std::string()
                   : rezorev::Utf16ToUtf8(GetFileHexMd5(file));
  std::printf("%s\n", out.dump().c_str());
  return 0;
}
