#include "identity/cpu_brand.h"

#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace XvMacID {

std::string BrandFromCpuidWords(const uint32_t words[12]) {
  char bytes[48];
  std::memcpy(bytes, words, sizeof bytes);  // x86 words are little-endian: register bytes in order
  size_t length = 0;
  while (length < sizeof bytes && bytes[length] != '\0') ++length;
  return std::string(bytes, length);
}

bool ReadCpuBrand(std::string* text) {
  uint32_t words[12] = {};
#if defined(__i386__) || defined(__x86_64__)
  // A processor without the brand leaves answers them with other data: no brand then.
  if (__get_cpuid_max(0x80000000u, nullptr) < 0x80000004u) {
    text->clear();
    return false;
  }
  for (uint32_t leaf = 0; leaf < 3; ++leaf) {
    __cpuid(0x80000002u + leaf, words[4 * leaf], words[4 * leaf + 1], words[4 * leaf + 2],
            words[4 * leaf + 3]);
  }
#endif
  *text = BrandFromCpuidWords(words);
  return !text->empty();
}

}  // namespace XvMacID
