// Test fixtures made inside the tests: ZIP archives (stored, deflated, folder and encrypted-flag
// entries) and PNG images, so that no sample files are needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace MarkupUI::testing {

struct ZipFixtureEntry {
  std::string name;  // stored as given (UTF-8)
  std::string data;
  bool deflate = false;
  bool encryptedFlag = false;  // sets the encryption bit (the data is not really encrypted)
};

// A single-disk archive with the entries in order. A name ending in "/" makes a folder entry.
std::vector<uint8_t> BuildZip(const std::vector<ZipFixtureEntry>& entries);

// RGBA pixels, row by row from the top: 0xAABBGGRR as read little-endian from the bytes R,G,B,A.
struct RgbaImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4 bytes
  RgbaImage(int w, int h, uint32_t fill = 0xFF000000);  // fill as 0xAARRGGBB
  void Set(int x, int y, uint32_t argb);                // 0xAARRGGBB
};
std::string EncodePng(const RgbaImage& image);

// Writes `bytes` to a new file in the temporary folder; returns its path. The file is removed
// when the test process ends.
std::wstring WriteTempFile(const std::string& stem, const std::string& bytes);

}  // namespace MarkupUI::testing
