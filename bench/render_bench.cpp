// Skin image cost: decoding a 462 x 312 PNG (the size of the main window's backgrounds) into its
// premultiplied DIB section, and drawing it into a window-sized 32-bit bitmap, as the first and
// every later paint of the background do. Prints milliseconds per operation.
//
//   render_bench.exe [iterations]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "uitoolkit/image_loader.h"
#include "uitoolkit/render_engine.h"
#include "uitoolkit/skin_source.h"
#include "uitoolkit/testing/skin_fixtures.h"

namespace {

using Clock = std::chrono::steady_clock;
double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  using namespace MarkupUI;
  int iterations = argc > 1 ? std::atoi(argv[1]) : 200;
  const int width = 462, height = 312;

  // A background-like picture: smooth gradients with some texture, so that PNG filters and
  // deflate do real work.
  testing::RgbaImage picture(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t noise = (static_cast<uint32_t>(x * 7919 + y * 104729) >> 3) & 0x0F;
      uint32_t r = (x * 255 / width) ^ noise, g = (y * 255 / height), b = ((x + y) & 0xFF) / 2 + 64;
      picture.Set(x, y, 0xFF000000u | (r << 16) | (g << 8) | b);
    }
  std::string png = testing::EncodePng(picture);
  std::vector<uint8_t> zip = testing::BuildZip({{"img/bkg/default/bkg1.png", png}});
  CPaintManagerUI::UseMemoryPackage(zip.data(), zip.size());

  Clock::time_point start = Clock::now();
  for (int i = 0; i < iterations; ++i) {
    std::unique_ptr<UiImageEntry> image = LoadImageByName(L"img/bkg/default/bkg1.png", 0, nullptr);
    if (!image) {
      std::printf("decoding failed\n");
      return 1;
    }
  }
  double decode = Milliseconds(Clock::now() - start) / iterations;

  CPaintManagerUI manager;
  HDC dc = ::CreateCompatibleDC(nullptr);  // memory only: no display needed
  ScopedBitmap target = MakeArgbBitmap(dc, width, height, nullptr);
  HGDIOBJ old = ::SelectObject(dc, target.get());
  RECT all = {0, 0, width, height};
  if (!DrawImageString(dc, &manager, all, all, L"img/bkg/default/bkg1.png")) {  // loads and caches
    std::printf("drawing failed\n");
    return 1;
  }
  start = Clock::now();
  for (int i = 0; i < iterations * 10; ++i) DrawImageString(dc, &manager, all, all, L"img/bkg/default/bkg1.png");
  ::GdiFlush();
  double draw = Milliseconds(Clock::now() - start) / (iterations * 10);
  start = Clock::now();
  for (int i = 0; i < iterations * 10; ++i)
    DrawImageString(dc, &manager, all, all, L"file='img/bkg/default/bkg1.png' fade='200'");
  ::GdiFlush();
  double blend = Milliseconds(Clock::now() - start) / (iterations * 10);
  ::SelectObject(dc, old);
  ::DeleteDC(dc);

  std::printf("png:          %d x %d, %zu bytes\n", width, height, png.size());
  std::printf("decode:       %.3f ms per image (read from the memory package, decode, premultiply, DIB)\n", decode);
  std::printf("draw:         %.3f ms per paint (cached image, opaque copy)\n", draw);
  std::printf("draw faded:   %.3f ms per paint (cached image, alpha-blended, fade 200)\n", blend);
  return 0;
}
