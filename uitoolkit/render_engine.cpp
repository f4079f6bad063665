// Render engine. Sections: system functions looked up once; image strings and specs; nine-grid
// bitmap drawing and the software blend; colours, gradients, lines and frames; clipping; bitmaps;
// plain text. Marked-up text is in marked_text.cpp.
#include "uitoolkit/render_engine.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <memory>
#include <utility>

#include "uitoolkit/gdiplus_include.h"
#include "uitoolkit/glyph_reference.h"

namespace MarkupUI {

namespace {

// --- system functions looked up once ---

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);
using GradientFillFn = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

struct Msimg32 {
  AlphaBlendFn alphaBlend = nullptr;
  GradientFillFn gradientFill = nullptr;
  Msimg32() {
    // Kept loaded for the process: the pointers are used on every paint.
    if (HMODULE module = ::LoadLibraryW(L"msimg32.dll")) {
      alphaBlend = reinterpret_cast<AlphaBlendFn>(reinterpret_cast<void*>(::GetProcAddress(module, "AlphaBlend")));
      gradientFill =
          reinterpret_cast<GradientFillFn>(reinterpret_cast<void*>(::GetProcAddress(module, "GradientFill")));
    }
  }
};

const Msimg32& Functions() {
  static const Msimg32 functions;
  return functions;
}

AlphaBlendFn Blender() {
  AlphaBlendFn f = Functions().alphaBlend;
  return f != nullptr ? f : &SoftwareAlphaBlend;
}

bool Meets(const RECT& a, const RECT& b) {
  RECT unused;
  return ::IntersectRect(&unused, &a, &b) != FALSE;
}

bool IsEmptyRect(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT ToRect(const UiRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

struct MemoryDc {
  HDC dc;
  HGDIOBJ previous;
  MemoryDc(HDC compatible, HGDIOBJ object) : dc(::CreateCompatibleDC(compatible)), previous(::SelectObject(dc, object)) {}
  ~MemoryDc() {
    ::SelectObject(dc, previous);
    ::DeleteDC(dc);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
};

}  // namespace

// --- image strings and specs ---

bool DrawImageString(HDC dc, CPaintManagerUI* manager, const RECT& item, const RECT& paint, const wchar_t* image,
                     const wchar_t* modifier, HINSTANCE module) {
  if (dc == nullptr || manager == nullptr) return false;
  const ImageDrawSpec* spec = manager->DrawSpecFor(image, modifier);
  if (spec == nullptr) return false;
  return DrawImageSpec(dc, manager, item, paint, *spec, module);
}

bool DrawImageSpec(HDC dc, CPaintManagerUI* manager, const RECT& item, const RECT& paint, const ImageDrawSpec& spec,
                   HINSTANCE module) {
  if (dc == nullptr || manager == nullptr) return false;
  RECT dest = item;
  if (!spec.destination.IsZero()) {
    dest.left = item.left + spec.destination.left;
    dest.top = item.top + spec.destination.top;
    dest.right = std::min<LONG>(item.right, item.left + spec.destination.right);
    dest.bottom = std::min<LONG>(item.bottom, item.top + spec.destination.bottom);
  }
  if (spec.imageName.IsEmpty()) return false;
  const UiImageEntry* image = manager->ImageByName(
      spec.imageName, spec.resourceType.IsEmpty() ? nullptr : spec.resourceType.c_str(), spec.mask, false, module);
  if (image == nullptr) return false;

  RECT source = ToRect(spec.source);
  if (spec.source.IsZero()) source = RECT{0, 0, image->width, image->height};
  source.right = std::min<LONG>(source.right, image->width);
  source.bottom = std::min<LONG>(source.bottom, image->height);

  RECT inItem, inPaint;
  if (::IntersectRect(&inItem, &dest, &item) && ::IntersectRect(&inPaint, &dest, &paint)) {
    DrawBitmap(dc, image->bitmap.get(), dest, paint, source, ToRect(spec.corner),
               manager->IsLayered() || image->hasAlpha, spec.fade, spec.hole, spec.tileX, spec.tileY);
  }
  return true;
}

// --- nine-grid bitmap drawing ---

void DrawBitmap(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint, const RECT& source, const RECT& corners,
                bool alpha, uint8_t fade, bool hole, bool tileX, bool tileY) {
  if (dc == nullptr || bitmap == nullptr) return;
  MemoryDc memory(dc, bitmap);
  ::SetStretchBltMode(dc, HALFTONE);
  ::SetBrushOrgEx(dc, 0, 0, nullptr);  // required after choosing half-tone stretching
  const bool blend = alpha || fade < 255;
  const BLENDFUNCTION blendFunction = {AC_SRC_OVER, 0, fade, AC_SRC_ALPHA};
  const AlphaBlendFn alphaBlend = Blender();

  // One part: `to` in the device, `from` in the bitmap.
  auto part = [&](const RECT& to, const RECT& from) {
    if (IsEmptyRect(to) || IsEmptyRect(from) || !Meets(to, paint)) return;
    int w = to.right - to.left, h = to.bottom - to.top;
    int sw = from.right - from.left, sh = from.bottom - from.top;
    if (blend) {
      alphaBlend(dc, to.left, to.top, w, h, memory.dc, from.left, from.top, sw, sh, blendFunction);
    } else if (w == sw && h == sh) {
      ::BitBlt(dc, to.left, to.top, w, h, memory.dc, from.left, from.top, SRCCOPY);
    } else {
      ::StretchBlt(dc, to.left, to.top, w, h, memory.dc, from.left, from.top, sw, sh, SRCCOPY);
    }
  };

  const bool noCorners = corners.left == 0 && corners.top == 0 && corners.right == 0 && corners.bottom == 0;
  if (!blend && noCorners && dest.right - dest.left == source.right - source.left &&
      dest.bottom - dest.top == source.bottom - source.top) {
    // Drawn at its own size: copy only what the paint rectangle needs.
    RECT visible;
    if (::IntersectRect(&visible, &dest, &paint)) {
      ::BitBlt(dc, visible.left, visible.top, visible.right - visible.left, visible.bottom - visible.top, memory.dc,
               source.left + (visible.left - dest.left), source.top + (visible.top - dest.top), SRCCOPY);
    }
    return;
  }

  const RECT& d = dest;
  const RECT& s = source;
  const RECT& c = corners;
  if (!hole) {
    RECT to = {d.left + c.left, d.top + c.top, d.right - c.right, d.bottom - c.bottom};
    RECT from = {s.left + c.left, s.top + c.top, s.right - c.right, s.bottom - c.bottom};
    int fw = from.right - from.left, fh = from.bottom - from.top;
    if (!IsEmptyRect(to) && !IsEmptyRect(from)) {
      if (tileX && tileY) {
        for (LONG y = to.top; y < to.bottom; y += fh) {
          LONG h = std::min<LONG>(fh, to.bottom - y);
          for (LONG x = to.left; x < to.right; x += fw) {
            LONG w = std::min<LONG>(fw, to.right - x);
            part(RECT{x, y, x + w, y + h}, RECT{from.left, from.top, from.left + w, from.top + h});
          }
        }
      } else if (tileX) {
        for (LONG x = to.left; x < to.right; x += fw) {
          LONG w = std::min<LONG>(fw, to.right - x);
          part(RECT{x, to.top, x + w, to.bottom}, RECT{from.left, from.top, from.left + w, from.bottom});
        }
      } else if (tileY) {
        for (LONG y = to.top; y < to.bottom; y += fh) {
          LONG h = std::min<LONG>(fh, to.bottom - y);
          part(RECT{to.left, y, to.right, y + h}, RECT{from.left, from.top, from.right, from.top + h});
        }
      } else {
        part(to, from);
      }
    }
  }
  if (c.left > 0 && c.top > 0)
    part({d.left, d.top, d.left + c.left, d.top + c.top}, {s.left, s.top, s.left + c.left, s.top + c.top});
  if (c.right > 0 && c.top > 0)
    part({d.right - c.right, d.top, d.right, d.top + c.top}, {s.right - c.right, s.top, s.right, s.top + c.top});
  if (c.left > 0 && c.bottom > 0)
    part({d.left, d.bottom - c.bottom, d.left + c.left, d.bottom},
         {s.left, s.bottom - c.bottom, s.left + c.left, s.bottom});
  if (c.right > 0 && c.bottom > 0)
    part({d.right - c.right, d.bottom - c.bottom, d.right, d.bottom},
         {s.right - c.right, s.bottom - c.bottom, s.right, s.bottom});
  if (c.top > 0)
    part({d.left + c.left, d.top, d.right - c.right, d.top + c.top},
         {s.left + c.left, s.top, s.right - c.right, s.top + c.top});
  if (c.bottom > 0)
    part({d.left + c.left, d.bottom - c.bottom, d.right - c.right, d.bottom},
         {s.left + c.left, s.bottom - c.bottom, s.right - c.right, s.bottom});
  if (c.left > 0)
    part({d.left, d.top + c.top, d.left + c.left, d.bottom - c.bottom},
         {s.left, s.top + c.top, s.left + c.left, s.bottom - c.bottom});
  if (c.right > 0)
    part({d.right - c.right, d.top + c.top, d.right, d.bottom - c.bottom},
         {s.right - c.right, s.top + c.top, s.right, s.bottom - c.bottom});
}

BOOL WINAPI SoftwareAlphaBlend(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sWidth,
                        int sHeight, BLENDFUNCTION blend) {
  if (width <= 0 || height <= 0 || sWidth <= 0 || sHeight <= 0) return FALSE;
  uint32_t* sourcePixels = nullptr;
  uint32_t* destPixels = nullptr;
  ScopedBitmap sourceCopy = MakeArgbBitmap(dest, width, height, &sourcePixels);
  ScopedBitmap destCopy = MakeArgbBitmap(dest, width, height, &destPixels);
  if (!sourceCopy || !destCopy) return FALSE;
  {
    MemoryDc sourceDc(dest, sourceCopy.get());
    ::SetStretchBltMode(sourceDc.dc, COLORONCOLOR);
    ::StretchBlt(sourceDc.dc, 0, 0, width, height, source, sx, sy, sWidth, sHeight, SRCCOPY);
    MemoryDc destDc(dest, destCopy.get());
    ::BitBlt(destDc.dc, 0, 0, width, height, dest, x, y, SRCCOPY);
    ::GdiFlush();
    const uint32_t constant = blend.SourceConstantAlpha;
    const bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
    for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i) {
      uint32_t s = sourcePixels[i], d = destPixels[i];
      uint32_t sourceAlpha = perPixel ? s >> 24 : 255;
      // Premultiplied "over": result = source * constant + dest * (1 - sourceAlpha * constant).
      uint32_t k = sourceAlpha * constant / 255;  // the source's effective coverage, 0..255
      uint32_t out = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        uint32_t sc = (s >> shift) & 0xFF;
        if (!perPixel) sc = shift == 24 ? 255 : sc;
        uint32_t dc = (d >> shift) & 0xFF;
        uint32_t v = (sc * constant + dc * (255 - k) + 127) / 255;
        out |= std::min<uint32_t>(v, 255) << shift;
      }
      destPixels[i] = out;
    }
    ::BitBlt(dest, x, y, width, height, destDc.dc, 0, 0, SRCCOPY);
  }
  return TRUE;
}

// --- colours, gradients, lines, frames ---

void FillColor(HDC dc, const RECT& rect, uint32_t argb) {
  if (dc == nullptr || IsEmptyRect(rect)) return;
  Gdiplus::Graphics graphics(dc);
  Gdiplus::SolidBrush brush{Gdiplus::Color(argb)};
  graphics.FillRectangle(&brush, static_cast<INT>(rect.left), static_cast<INT>(rect.top),
                         static_cast<INT>(rect.right - rect.left), static_cast<INT>(rect.bottom - rect.top));
}

namespace {

void DrawGradientOpaque(HDC dc, const RECT& rect, uint32_t first, uint32_t second, bool vertical, int steps) {
  if (GradientFillFn gradientFill = Functions().gradientFill) {
    TRIVERTEX vertices[2] = {};
    vertices[0].x = rect.left;
    vertices[0].y = rect.top;
    vertices[0].Red = static_cast<COLOR16>(((first >> 16) & 0xFF) << 8);
    vertices[0].Green = static_cast<COLOR16>(((first >> 8) & 0xFF) << 8);
    vertices[0].Blue = static_cast<COLOR16>((first & 0xFF) << 8);
    vertices[0].Alpha = 0xFF00;
    vertices[1].x = rect.right;
    vertices[1].y = rect.bottom;
    vertices[1].Red = static_cast<COLOR16>(((second >> 16) & 0xFF) << 8);
    vertices[1].Green = static_cast<COLOR16>(((second >> 8) & 0xFF) << 8);
    vertices[1].Blue = static_cast<COLOR16>((second & 0xFF) << 8);
    vertices[1].Alpha = 0xFF00;
    GRADIENT_RECT gradient = {0, 1};
    if (gradientFill(dc, vertices, 2, &gradient, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H)) return;
  }
  // Bands of interpolated solid colour.
  int bands = steps < 16 ? 8 : 16;
  int length = vertical ? rect.bottom - rect.top : rect.right - rect.left;
  for (int i = 0; i < bands; ++i) {
    auto mix = [&](int shift) {
      int a = static_cast<int>((first >> shift) & 0xFF), b = static_cast<int>((second >> shift) & 0xFF);
      return a + (b - a) * i / (bands - 1);
    };
    RECT band = rect;
    if (vertical) {
      band.top = rect.top + length * i / bands;
      band.bottom = rect.top + length * (i + 1) / bands;
    } else {
      band.left = rect.left + length * i / bands;
      band.right = rect.left + length * (i + 1) / bands;
    }
    HBRUSH brush = ::CreateSolidBrush(RGB(mix(16), mix(8), mix(0)));
    ::FillRect(dc, &band, brush);
    ::DeleteObject(brush);
  }
}

}  // namespace

void FillGradient(HDC dc, const RECT& rect, uint32_t first, uint32_t second, bool vertical, int steps) {
  if (dc == nullptr || IsEmptyRect(rect)) return;
  uint32_t alpha = ((first >> 24) + (second >> 24)) / 2;
  if (alpha == 0) return;
  if (alpha == 255) {
    DrawGradientOpaque(dc, rect, first, second, vertical, steps);
    return;
  }
  int width = rect.right - rect.left, height = rect.bottom - rect.top;
  ScopedBitmap bitmap = MakeArgbBitmap(dc, width, height, nullptr);
  if (!bitmap) return;
  MemoryDc memory(dc, bitmap.get());
  DrawGradientOpaque(memory.dc, RECT{0, 0, width, height}, first, second, vertical, steps);
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, static_cast<BYTE>(alpha), 0};
  Blender()(dc, rect.left, rect.top, width, height, memory.dc, 0, 0, width, height, blend);
}

void DrawLineSegment(HDC dc, const RECT& ends, int width, uint32_t argb, int penStyle) {
  HPEN pen = ::CreatePen(penStyle, width, ToColorRef(argb));
  HGDIOBJ old = ::SelectObject(dc, pen);
  POINT previous;
  ::MoveToEx(dc, ends.left, ends.top, &previous);
  ::LineTo(dc, ends.right, ends.bottom);
  ::MoveToEx(dc, previous.x, previous.y, nullptr);
  ::SelectObject(dc, old);
  ::DeleteObject(pen);
}

void DrawFrame(HDC dc, const RECT& rect, int width, uint32_t argb) {
  if (dc == nullptr) return;
  Gdiplus::Graphics graphics(dc);
  Gdiplus::Pen pen(Gdiplus::Color(argb), static_cast<Gdiplus::REAL>(width));
  pen.SetAlignment(Gdiplus::PenAlignmentInset);
  graphics.DrawRectangle(&pen, static_cast<INT>(rect.left), static_cast<INT>(rect.top),
                         static_cast<INT>(rect.right - rect.left - 1), static_cast<INT>(rect.bottom - rect.top - 1));
}

void DrawRoundFrame(HDC dc, const RECT& rect, int width, int ellipseWidth, int ellipseHeight, uint32_t argb,
                    int penStyle) {
  HPEN pen = ::CreatePen(penStyle, width, ToColorRef(argb));
  HGDIOBJ oldPen = ::SelectObject(dc, pen);
  HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
  ::RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, ellipseWidth, ellipseHeight);
  ::SelectObject(dc, oldBrush);
  ::SelectObject(dc, oldPen);
  ::DeleteObject(pen);
}

namespace {

void RgbToHsl(uint32_t argb, float* h, float* s, float* l) {
  float r = ((argb >> 16) & 0xFF) / 255.0f, g = ((argb >> 8) & 0xFF) / 255.0f, b = (argb & 0xFF) / 255.0f;
  float maxC = std::max({r, g, b}), minC = std::min({r, g, b});
  *l = (maxC + minC) / 2;
  if (maxC == minC) {
    *h = *s = 0;
    return;
  }
  float delta = maxC - minC;
  *s = *l > 0.5f ? delta / (2 - maxC - minC) : delta / (maxC + minC);
  if (maxC == r) *h = (g - b) / delta + (g < b ? 6 : 0);
  else if (maxC == g) *h = (b - r) / delta + 2;
  else *h = (r - g) / delta + 4;
  *h *= 60;
}

float HueToChannel(float p, float q, float t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (t < 1.0f / 6) return p + (q - p) * 6 * t;
  if (t < 0.5f) return q;
  if (t < 2.0f / 3) return p + (q - p) * (2.0f / 3 - t) * 6;
  return p;
}

}  // namespace

uint32_t AdjustColor(uint32_t argb, short hue, short saturation, short lightness) {
  if (hue == 180 && saturation == 100 && lightness == 100) return argb;
  float h, s, l;
  RgbToHsl(argb, &h, &s, &l);
  h = std::fmod(h + (hue - 180) + 360.0f * 4, 360.0f);
  s = std::clamp(s * saturation / 100.0f, 0.0f, 1.0f);
  l = std::clamp(l * lightness / 100.0f, 0.0f, 1.0f);
  float r, g, b;
  if (s == 0) {
    r = g = b = l;
  } else {
    float q = l < 0.5f ? l * (1 + s) : l + s - l * s;
    float p = 2 * l - q;
    r = HueToChannel(p, q, h / 360 + 1.0f / 3);
    g = HueToChannel(p, q, h / 360);
    b = HueToChannel(p, q, h / 360 - 1.0f / 3);
  }
  auto byte = [](float v) { return static_cast<uint32_t>(std::lround(v * 255)); };
  return (argb & 0xFF000000u) | (byte(r) << 16) | (byte(g) << 8) | byte(b);
}

// --- clipping ---

UiClip::UiClip(UiClip&& other) noexcept
    : dc_(std::exchange(other.dc_, nullptr)), previous_(std::move(other.previous_)), region_(std::move(other.region_)) {}

UiClip& UiClip::operator=(UiClip&& other) noexcept {
  if (this != &other) {
    Restore();
    dc_ = std::exchange(other.dc_, nullptr);
    previous_ = std::move(other.previous_);
    region_ = std::move(other.region_);
  }
  return *this;
}

UiClip::~UiClip() { Restore(); }

void UiClip::Restore() {
  if (dc_ != nullptr) ::SelectClipRgn(dc_, previous_.get());  // null removes the clip again
  dc_ = nullptr;
  previous_.reset();
  region_.reset();
}

namespace {

// The context's current clip region, or null when it has none.
ScopedRegion CurrentClip(HDC dc) {
  ScopedRegion region(::CreateRectRgn(0, 0, 0, 0));
  if (::GetClipRgn(dc, region.get()) != 1) region.reset();
  return region;
}

}  // namespace

UiClip ClipToRect(HDC dc, const RECT& rect) {
  UiClip clip;
  clip.dc_ = dc;
  clip.previous_ = CurrentClip(dc);
  clip.region_.reset(::CreateRectRgnIndirect(&rect));
  if (clip.previous_) ::CombineRgn(clip.region_.get(), clip.region_.get(), clip.previous_.get(), RGN_AND);
  ::SelectClipRgn(dc, clip.region_.get());
  return clip;
}

UiClip ClipToRoundRect(HDC dc, const RECT& rect, const RECT& item, int ellipseWidth, int ellipseHeight) {
  UiClip clip;
  clip.dc_ = dc;
  clip.previous_ = CurrentClip(dc);
  clip.region_.reset(::CreateRectRgnIndirect(&rect));
  if (clip.previous_) ::CombineRgn(clip.region_.get(), clip.region_.get(), clip.previous_.get(), RGN_AND);
  ScopedRegion round(
      ::CreateRoundRectRgn(item.left, item.top, item.right + 1, item.bottom + 1, ellipseWidth, ellipseHeight));
  ::CombineRgn(clip.region_.get(), clip.region_.get(), round.get(), RGN_AND);
  ::SelectClipRgn(dc, clip.region_.get());
  return clip;
}

// --- bitmaps ---

ScopedBitmap MakeArgbBitmap(HDC dc, int width, int height, uint32_t** pixels) {
  if (pixels != nullptr) *pixels = nullptr;
  if (width <= 0 || height <= 0) return ScopedBitmap();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  info.bmiHeader.biSizeImage = static_cast<DWORD>(width) * height * 4;
  void* bits = nullptr;
  ScopedBitmap bitmap(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (bitmap && pixels != nullptr) *pixels = static_cast<uint32_t*>(bits);
  return bitmap;
}

// --- plain text ---

void DrawPlainText(HDC dc, CPaintManagerUI* manager, RECT& rect, const wchar_t* text, uint32_t argb, int font,
                   UINT style) {
  if (dc == nullptr || manager == nullptr || text == nullptr || text[0] == L'\0') return;
  wchar_t glyph[2] = {};
  int length = -1;
  if (GlyphReferenceChar(text, &glyph[0])) {
    text = glyph;
    length = 1;
  }
  UiFontEntry* fontEntry = manager->FontById(font);

  if (manager->IsLayered() || manager->IsUseGdiplusText()) {
    LOGFONTW logFont{};
    Gdiplus::Graphics graphics(dc);
    std::unique_ptr<Gdiplus::Font> gdipFont;
    if (fontEntry->font && ::GetObjectW(fontEntry->font.get(), sizeof logFont, &logFont) == sizeof logFont)
      gdipFont = std::make_unique<Gdiplus::Font>(dc, &logFont);
    if (!gdipFont || gdipFont->GetLastStatus() != Gdiplus::Ok) gdipFont = std::make_unique<Gdiplus::Font>(dc);
    int hint = manager->GdiplusTextRenderingHint();
    graphics.SetTextRenderingHint(static_cast<Gdiplus::TextRenderingHint>(hint >= 1 && hint <= 5 ? hint : 0));
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);

    Gdiplus::RectF box(static_cast<Gdiplus::REAL>(rect.left), static_cast<Gdiplus::REAL>(rect.top),
                       static_cast<Gdiplus::REAL>(rect.right - rect.left),
                       static_cast<Gdiplus::REAL>(rect.bottom - rect.top));
    Gdiplus::SolidBrush brush{Gdiplus::Color(0xFE, (argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF)};
    Gdiplus::StringFormat format(Gdiplus::StringFormat::GenericTypographic());
    if (style & DT_END_ELLIPSIS) format.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
    INT flags = format.GetFormatFlags();
    if (style & DT_NOCLIP) flags |= Gdiplus::StringFormatFlagsNoClip;
    if (style & DT_SINGLELINE) flags |= Gdiplus::StringFormatFlagsNoWrap;
    format.SetFormatFlags(flags);
    format.SetAlignment((style & DT_CENTER)  ? Gdiplus::StringAlignmentCenter
                        : (style & DT_RIGHT) ? Gdiplus::StringAlignmentFar
                                             : Gdiplus::StringAlignmentNear);
    format.SetLineAlignment((style & DT_VCENTER)  ? Gdiplus::StringAlignmentCenter
                            : (style & DT_BOTTOM) ? Gdiplus::StringAlignmentFar
                                                  : Gdiplus::StringAlignmentNear);
    if (style & DT_CALCRECT) {
      Gdiplus::RectF bounds;
      graphics.MeasureString(text, length, gdipFont.get(), box, &format, &bounds);
      rect.right = rect.left + static_cast<LONG>(bounds.Width) + 1;
      rect.bottom = rect.top + static_cast<LONG>(bounds.Height) + 1;
    } else {
      graphics.DrawString(text, length, gdipFont.get(), box, &format, &brush);
    }
    return;
  }

  ::SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = ::SetTextColor(dc, ToColorRef(argb));
  HGDIOBJ oldFont = fontEntry->font ? ::SelectObject(dc, fontEntry->font.get()) : nullptr;
  ::DrawTextW(dc, text, length, &rect, style);
  if (oldFont != nullptr) ::SelectObject(dc, oldFont);
  ::SetTextColor(dc, oldColor);
}

}  // namespace MarkupUI
