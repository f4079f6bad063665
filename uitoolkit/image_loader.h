// Images and fonts of the skin as GDI objects (Windows only).
//
// A skin image becomes a 32-bit top-down DIB section with premultiplied alpha, decoded once
// (image_decode.h) and kept by the paint manager's image map under its name.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <type_traits>

#include "uitoolkit/ui_string.h"

namespace MarkupUI {

struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const {
    if (object != nullptr) ::DeleteObject(object);
  }
};
using ScopedBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;
using ScopedFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;
using ScopedRegion = std::unique_ptr<std::remove_pointer_t<HRGN>, GdiObjectDeleter>;

struct UiImageEntry {
  ScopedBitmap bitmap;     // 32-bit top-down section, BGRA premultiplied
  uint32_t* pixels = nullptr;  // the section's pixel memory (width * height, rows top-down)
  int width = 0;
  int height = 0;
  bool hasAlpha = false;   // some pixel is not opaque, or was removed by the mask colour
  UiString resourceType;   // module resource type it came from; empty for skin files
  uint32_t maskColor = 0;  // 0xAARRGGBB it was loaded with
};

// Loads an image. With a resource type, `name` is a numeric resource id (MAKEINTRESOURCE) looked
// up in `module`, then the paint manager's resource module, then the main module; without one,
// `name` is a skin file read through the skin sources with the name-as-path fallback. Null when
// the bytes cannot be found or decoded or the section cannot be made. The caller fills in
// resourceType and maskColor.
std::unique_ptr<UiImageEntry> LoadImageEntry(const wchar_t* name, const wchar_t* resourceType, uint32_t maskColor,
                                             HINSTANCE module);
// A skin file by name (no resource type).
std::unique_ptr<UiImageEntry> LoadImageByName(const wchar_t* name, uint32_t maskColor, HINSTANCE module);

}  // namespace MarkupUI
