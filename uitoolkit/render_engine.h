// Render engine: the stateless drawing operations behind every control's paint steps.
//
// Colours are 0xAARRGGBB. Images are the paint manager's decoded entries (32-bit, premultiplied).
// Rectangles are in the device context's coordinates; "paint" rectangles are the part being
// repainted, and parts outside them are skipped.
#pragma once

#include <windows.h>

#include <cstdint>

#include "uitoolkit/image_loader.h"
#include "uitoolkit/image_spec.h"
#include "uitoolkit/paint_manager.h"
#include "uitoolkit/ui_string.h"

namespace MarkupUI {

// --- images ---

// Draws an image string into `item` (its spec cached by the manager). False without a manager or
// device, or when the image cannot be obtained (nothing is drawn then).
bool DrawImageString(HDC dc, CPaintManagerUI* manager, const RECT& item, const RECT& paint, const wchar_t* image,
                     const wchar_t* modifier = nullptr, HINSTANCE module = nullptr);
bool DrawImageSpec(HDC dc, CPaintManagerUI* manager, const RECT& item, const RECT& paint, const ImageDrawSpec& spec,
                   HINSTANCE module = nullptr);

// Nine-grid drawing of `source` (a part of `bitmap`) into `dest`: corners unscaled, edges
// stretched along their length, the middle stretched or tiled (or skipped with `hole`). With
// `alpha` or a fade below 255 every part is alpha-blended (per-pixel premultiplied alpha times
// fade / 255); otherwise copied opaque.
void DrawBitmap(HDC dc, HBITMAP bitmap, const RECT& dest, const RECT& paint, const RECT& source, const RECT& corners,
                bool alpha, uint8_t fade = 255, bool hole = false, bool tileX = false, bool tileY = false);

// The blend used when msimg32 has no AlphaBlend: same arguments and result as AlphaBlend with
// AC_SRC_OVER (premultiplied source when AC_SRC_ALPHA is set).
BOOL WINAPI SoftwareAlphaBlend(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sWidth,
                        int sHeight, BLENDFUNCTION blend);

// --- colours, lines, frames ---

void FillColor(HDC dc, const RECT& rect, uint32_t argb);  // GDI+: partial alpha blends
// Gradient from `first` (top or left) to `second`; drawn with the average of both alphas as
// constant opacity (0 draws nothing). Without GradientFill, `steps` < 16 gives 8 bands, else 16.
void FillGradient(HDC dc, const RECT& rect, uint32_t first, uint32_t second, bool vertical, int steps);
void DrawLineSegment(HDC dc, const RECT& ends, int width, uint32_t argb, int penStyle = PS_SOLID);
void DrawFrame(HDC dc, const RECT& rect, int width, uint32_t argb);  // GDI+, pen inside the rectangle
void DrawRoundFrame(HDC dc, const RECT& rect, int width, int ellipseWidth, int ellipseHeight, uint32_t argb,
                    int penStyle = PS_SOLID);
uint32_t AdjustColor(uint32_t argb, short hue, short saturation, short lightness);
inline COLORREF ToColorRef(uint32_t argb) {
  return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

// --- clipping ---

// Narrows a device context's clip for its lifetime, then restores the previous clip. Moves only.
class UiClip {
 public:
  UiClip() = default;
  UiClip(UiClip&& other) noexcept;
  UiClip& operator=(UiClip&& other) noexcept;
  UiClip(const UiClip&) = delete;
  UiClip& operator=(const UiClip&) = delete;
  ~UiClip();

 private:
  friend UiClip ClipToRect(HDC dc, const RECT& rect);
  friend UiClip ClipToRoundRect(HDC dc, const RECT& rect, const RECT& item, int ellipseWidth, int ellipseHeight);
  void Restore();
  HDC dc_ = nullptr;
  ScopedRegion previous_;  // null: the context had no clip region
  ScopedRegion region_;
};
UiClip ClipToRect(HDC dc, const RECT& rect);
// Clip to `rect` and to the rounded rectangle of `item` (right and bottom included).
UiClip ClipToRoundRect(HDC dc, const RECT& rect, const RECT& item, int ellipseWidth, int ellipseHeight);

// --- bitmaps ---

// A 32-bit section with bottom-up rows; `pixels` receives its memory (may be null).
ScopedBitmap MakeArgbBitmap(HDC dc, int width, int height, uint32_t** pixels);

// --- text ---

// DT_* style flags. Layered windows and "gdiplustext" draw through GDI+, otherwise GDI. With
// DT_CALCRECT (GDI+ path) the text is measured and rect's right and bottom are set instead.
// A text containing "&#x" draws only the character whose hex code follows.
void DrawPlainText(HDC dc, CPaintManagerUI* manager, RECT& rect, const wchar_t* text, uint32_t argb, int font,
                   UINT style);
// Text with inline tags (<b>, <c #rrggbb>, <a>, <n>, ...; braces work as brackets). Link
// rectangles and texts go to `links`/`linkTexts`, at most `linkCount` on entry; the number found
// on return. With DT_CALCRECT nothing is drawn and rect gets the extent.
void DrawMarkedText(HDC dc, CPaintManagerUI* manager, RECT& rect, const wchar_t* text, uint32_t argb, RECT* links,
                    UiString* linkTexts, int& linkCount, int font, UINT style);

}  // namespace MarkupUI
