// Digests one file with GetFileHexMd5 a few times and prints the best throughput, measured inside
// the program so that the start-up of the program (and of Wine) is left out.
//
//   md5_bench.exe <file> [runs]
//
// Prints "digest <hex>", "bytes <n>" and "mib_per_s <best>" on separate lines.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "digest/md5.h"
#include "foundation/text_convert.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: md5_bench <file> [runs]\n");
    return 2;
  }
  std::wstring path = argv[1];
  int runs = argc > 2 ? _wtoi(argv[2]) : 3;
  if (runs < 1) runs = 1;

  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    std::fprintf(stderr, "md5_bench: cannot read the file's size\n");
    return 1;
  }
  double bytes = double((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);

  std::wstring digest;
  double best = 0;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    digest = GetFileHexMd5(path);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (digest.empty()) {
      std::fprintf(stderr, "md5_bench: GetFileHexMd5 failed\n");
      return 1;
    }
    double rate = bytes / (1024.0 * 1024.0) / seconds;
    if (rate > best) best = rate;
  }
  std::printf("digest %s\nbytes %.0f\nmib_per_s %.1f\n", rezorev::Utf16ToUtf8(digest).c_str(), bytes, best);
  return 0;
}
