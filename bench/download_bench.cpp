// Downloads one package with DownloadUrlToFile and prints how fast and in how much memory, timed
// inside the program so that the start-up of the program (and of Wine) is left out.
//
//   download_bench.exe <url> <file>
//
// Prints "ok", "bytes", "seconds", "mib_per_s", "peak_working_set_before" (bytes, before the
// download) and "peak_working_set" (bytes, after it; GetProcessMemoryInfo PeakWorkingSetSize).
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>

#include "net/url_downloader.h"

namespace {

size_t PeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  return ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters)) ? counters.PeakWorkingSetSize : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: download_bench <url> <file>\n");
    return 2;
  }
  const size_t before = PeakWorkingSet();
  const auto start = std::chrono::steady_clock::now();
  const DownloadResult result = DownloadUrlToFile(argv[1], argv[2], DownloadProgress(), L"");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const size_t peak = PeakWorkingSet();

  WIN32_FILE_ATTRIBUTE_DATA data = {};
  double bytes = 0;
  if (::GetFileAttributesExW(argv[2], GetFileExInfoStandard, &data)) {
    bytes = double((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  }
  std::printf("ok %d\nerror_type %d\nerror_code %u\nbytes %.0f\nseconds %.3f\nmib_per_s %.1f\n"
              "peak_working_set_before %zu\npeak_working_set %zu\n",
              result.ok_ ? 1 : 0, result.errorType_, result.errorCode_, bytes, seconds,
              seconds > 0 ? bytes / 1048576.0 / seconds : 0.0, before, peak);
  return result.ok_ ? 0 : 1;
}
