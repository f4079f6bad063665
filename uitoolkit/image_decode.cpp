#include "uitoolkit/image_decode.h"

#include <climits>

// The decoder is compiled here and nowhere else. Only PNG is compiled in: the skin holds nothing
// else, and every other format would be attack surface for packages we do not ship.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 16384
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wall"
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#endif
#include <stb/stb_image.h>
#if defined(__clang__)
#pragma clang diagnostic pop
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace MarkupUI {

bool PremultiplyRgba(const uint8_t* rgba, size_t pixelCount, uint32_t maskColor, uint32_t* out) {
  bool hasAlpha = false;
  for (size_t i = 0; i < pixelCount; ++i, rgba += 4) {
    uint32_t r = rgba[0], g = rgba[1], b = rgba[2], a = rgba[3];
    if (a != 255) {
      r = r * a / 255;
      g = g * a / 255;
      b = b * a / 255;
      hasAlpha = true;
    }
    uint32_t pixel = (a << 24) | (r << 16) | (g << 8) | b;
    if (pixel == maskColor) {
      pixel = 0;
      hasAlpha = true;
    }
    out[i] = pixel;
  }
  return hasAlpha;
}

bool DecodeSkinImage(const void* bytes, size_t size, uint32_t maskColor, DecodedImage* image) {
  if (bytes == nullptr || size == 0 || size > INT_MAX || image == nullptr) return false;
  const auto* data = static_cast<const stbi_uc*>(bytes);
  int width = 0, height = 0, components = 0;
  if (!stbi_info_from_memory(data, static_cast<int>(size), &width, &height, &components)) return false;
  if (width <= 0 || height <= 0 || static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > kMaxImagePixels)
    return false;
  stbi_uc* rgba = stbi_load_from_memory(data, static_cast<int>(size), &width, &height, &components, 4);
  if (rgba == nullptr) return false;
  DecodedImage decoded;
  decoded.width = width;
  decoded.height = height;
  decoded.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  decoded.hasAlpha = PremultiplyRgba(rgba, decoded.pixels.size(), maskColor, decoded.pixels.data());
  stbi_image_free(rgba);
  *image = std::move(decoded);
  return true;
}

}  // namespace MarkupUI
