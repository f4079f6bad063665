// Decoding skin images (PNG) into premultiplied 32-bit pixels.
//
// Pixel layout: one uint32_t per pixel, rows top-down, 0xAARRGGBB (in memory: blue, green, red,
// alpha), colours premultiplied by alpha - the layout of a 32-bit top-down DIB section.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace MarkupUI {

// Images above this many pixels are refused before decoding (256 MiB of pixels otherwise).
constexpr uint64_t kMaxImagePixels = 16u * 1024u * 1024u;

struct DecodedImage {
  int width = 0;
  int height = 0;
  bool hasAlpha = false;  // a pixel is not fully opaque, or the mask colour removed one
  std::vector<uint32_t> pixels;
};

// Decodes `bytes` (any format the decoder reads; the skin uses PNG) and premultiplies:
// alpha 255 keeps the colours, otherwise each colour becomes colour * alpha / 255 (integer
// division). Then a pixel equal to `maskColor` (0xAARRGGBB, compared after premultiplying)
// becomes 0. False for undecodable or oversized images; `image` is then untouched.
bool DecodeSkinImage(const void* bytes, size_t size, uint32_t maskColor, DecodedImage* image);

// The per-pixel step of DecodeSkinImage on RGBA bytes; returns whether any pixel got alpha.
bool PremultiplyRgba(const uint8_t* rgba, size_t pixelCount, uint32_t maskColor, uint32_t* out);

}  // namespace MarkupUI
