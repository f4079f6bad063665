// Image strings: how markup says which image to draw and where.
//
// An image string is either a bare file name ("img/x-normal.png") or a list of items
//   key='value' key='value' ...
// separated by single spaces. Keys (exact case): file, res (image name), restype (module resource
// type), dest, source, corner (four integers "l,t,r,b"), mask (hex colour, "#" allowed), fade
// (0..255), hole, xtiled, ytiled, hsl ("true" in any case). Unknown keys and empty values are
// ignored; the first malformed item ends the list. A modifier string in the same syntax is read
// after the image string and overrides it.
#pragma once

#include <cstdint>

#include "uitoolkit/dpi_scale.h"
#include "uitoolkit/ui_geometry.h"
#include "uitoolkit/ui_string.h"

namespace MarkupUI {

struct ImageDrawSpec {
  UiString drawString;    // the image string itself
  UiString modifier;      // the modifier string itself
  UiString imageName;     // file or resource name; the whole image string unless an item names it
  UiString resourceType;  // empty: a skin file
  UiRect destination;     // relative to the control; all zero = the whole control
  UiRect source;          // part of the bitmap; all zero = the whole bitmap
  UiRect corner;          // nine-grid margins in bitmap pixels
  uint32_t mask = 0;      // 0xAARRGGBB made transparent at load
  uint8_t fade = 255;     // constant opacity
  bool hole = false;      // skip the nine-grid middle
  bool tileX = false;
  bool tileY = false;
  bool hsl = false;
};

// Fills `spec` from the two strings (either may be null). Rectangles are scaled by `scale`; at a
// scale other than 100 every "." of the image name becomes "@<scale>." ("a.png" -> "a@150.png").
void ParseImageSpec(const wchar_t* image, const wchar_t* modifier, const UiDpiScale& scale, ImageDrawSpec* spec);

}  // namespace MarkupUI
