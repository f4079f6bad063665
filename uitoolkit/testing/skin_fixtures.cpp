#include "uitoolkit/testing/skin_fixtures.h"

#include <zlib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <system_error>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb/stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace MarkupUI::testing {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

std::string RawDeflate(const std::string& data) {
  z_stream s{};
  deflateInit2(&s, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&s, static_cast<uLong>(data.size())) + 16, '\0');
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  s.avail_in = static_cast<uInt>(data.size());
  s.next_out = reinterpret_cast<Bytef*>(&out[0]);
  s.avail_out = static_cast<uInt>(out.size());
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

}  // namespace

std::vector<uint8_t> BuildZip(const std::vector<ZipFixtureEntry>& entries) {
  std::vector<uint8_t> out;
  std::vector<uint8_t> directory;
  const uint16_t kTime = (12 << 11) | (30 << 5) | 5;  // 12:30:10
  const uint16_t kDate = ((2024 - 1980) << 9) | (5 << 5) | 17;  // 2024-05-17
  for (const ZipFixtureEntry& e : entries) {
    bool folder = !e.name.empty() && e.name.back() == '/';
    std::string body = e.deflate ? RawDeflate(e.data) : e.data;
    uint32_t crc = static_cast<uint32_t>(crc32(0L, reinterpret_cast<const Bytef*>(e.data.data()),
                                               static_cast<uInt>(e.data.size())));
    uint16_t flags = e.encryptedFlag ? 1 : 0;
    uint16_t method = e.deflate ? 8 : 0;
    uint32_t localOffset = static_cast<uint32_t>(out.size());
    Put32(out, 0x04034b50);
    Put16(out, 20);
    Put16(out, flags);
    Put16(out, method);
    Put16(out, kTime);
    Put16(out, kDate);
    Put32(out, crc);
    Put32(out, static_cast<uint32_t>(body.size()));
    Put32(out, static_cast<uint32_t>(e.data.size()));
    Put16(out, static_cast<uint32_t>(e.name.size()));
    Put16(out, 0);
    out.insert(out.end(), e.name.begin(), e.name.end());
    out.insert(out.end(), body.begin(), body.end());

    Put32(directory, 0x02014b50);
    Put16(directory, 20);
    Put16(directory, 20);
    Put16(directory, flags);
    Put16(directory, method);
    Put16(directory, kTime);
    Put16(directory, kDate);
    Put32(directory, crc);
    Put32(directory, static_cast<uint32_t>(body.size()));
    Put32(directory, static_cast<uint32_t>(e.data.size()));
    Put16(directory, static_cast<uint32_t>(e.name.size()));
    Put16(directory, 0);
    Put16(directory, 0);
    Put16(directory, 0);
    Put16(directory, 0);
    Put32(directory, folder ? 0x10 : 0x20);
    Put32(directory, localOffset);
    directory.insert(directory.end(), e.name.begin(), e.name.end());
  }
  uint32_t directoryOffset = static_cast<uint32_t>(out.size());
  out.insert(out.end(), directory.begin(), directory.end());
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put32(out, static_cast<uint32_t>(directory.size()));
  Put32(out, directoryOffset);
  Put16(out, 0);
  return out;
}

RgbaImage::RgbaImage(int w, int h, uint32_t fill) : width(w), height(h), rgba(static_cast<size_t>(w) * h * 4) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Set(x, y, fill);
}

void RgbaImage::Set(int x, int y, uint32_t argb) {
  uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
  p[0] = static_cast<uint8_t>(argb >> 16);
  p[1] = static_cast<uint8_t>(argb >> 8);
  p[2] = static_cast<uint8_t>(argb);
  p[3] = static_cast<uint8_t>(argb >> 24);
}

std::string EncodePng(const RgbaImage& image) {
  std::string png;
  auto sink = [](void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<size_t>(size));
  };
  stbi_write_png_to_func(sink, &png, image.width, image.height, 4, image.rgba.data(), image.width * 4);
  return png;
}

namespace {

// Files written for a test process, removed when it ends (a file still open then stays).
class TempFiles {
 public:
  ~TempFiles() {
    std::error_code ignored;
    for (const auto& path : paths_) std::filesystem::remove(path, ignored);
  }
  void Add(const std::filesystem::path& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    paths_.push_back(path);
  }

 private:
  std::mutex mutex_;
  std::vector<std::filesystem::path> paths_;
};

}  // namespace

std::wstring WriteTempFile(const std::string& stem, const std::string& bytes) {
  static std::atomic<int> counter{0};
  static const unsigned run = std::random_device{}();  // other test processes share the folder
  static TempFiles written;
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("orvix_ui_" + stem + "_" + std::to_string(run) + "_" + std::to_string(counter++) + ".bin");
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  written.Add(path);
  return path.wstring();
}

}  // namespace MarkupUI::testing
