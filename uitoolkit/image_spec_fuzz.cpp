// Fuzz entry: arbitrary text as an image string and modifier (split at the first zero byte),
// parsed at scale 100 and 150.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "uitoolkit/image_spec.h"
#include "uitoolkit/wide_utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace MarkupUI;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  size_t split = bytes.find('\0');
  std::wstring image = WideFromUtf8(bytes.data(), split == std::string::npos ? size : split);
  std::wstring modifier;
  if (split != std::string::npos) modifier = WideFromUtf8(bytes.data() + split + 1, size - split - 1);
  for (int scale : {100, 150}) {
    UiDpiScale dpi;
    dpi.SetScale(scale);
    ImageDrawSpec spec;
    ParseImageSpec(image.c_str(), modifier.c_str(), dpi, &spec);
  }
  return 0;
}

std::vector<std::string> FuzzSeeds() {
  return {"file='img/-normal.png' dest='0,4,11,5' corner='4,4,4,4' mask='#FFFF00FF' fade='128' hole='true'",
          std::string("img/x.png\0fade='7' xtiled='true'", 32), "dest='-2147483648,2147483647,99999999999,1'"};
}
