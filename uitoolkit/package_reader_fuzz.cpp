// Fuzz entry: arbitrary bytes as a skin package. Opening, listing, looking up and extracting
// every entry into a bounded buffer must give result codes, never read outside the input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "uitoolkit/package_reader.h"
#include "uitoolkit/testing/skin_fixtures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace MarkupUI;
  ScopedPackage package(OpenPackageMemory(data, size, nullptr));
  if (!package) return 0;
  std::vector<uint8_t> buffer(64 * 1024);
  int count = PackageEntryCount(package.get());
  for (int i = 0; i < count && i < 64; ++i) {
    PackageEntryInfo info;
    if (PackageEntryAt(package.get(), i, &info) != kPackageOk) continue;
    FindPackageEntry(package.get(), info.name.c_str(), &info);
    uint32_t length = info.uncompressedSize < buffer.size() ? info.uncompressedSize : static_cast<uint32_t>(buffer.size());
    ExtractPackageEntry(package.get(), i, buffer.data(), length);
  }
  return 0;
}

std::vector<std::string> FuzzSeeds() {
  using MarkupUI::testing::BuildZip;
  std::vector<uint8_t> zip = BuildZip({{"img/", ""},
                                       {"a.xml", "<Window size=\"1,2\"/>", true},
                                       {"b.png", "stored bytes"},
                                       {"../c:/x", "payload payload payload", true}});
  return {std::string(zip.begin(), zip.end())};
}
