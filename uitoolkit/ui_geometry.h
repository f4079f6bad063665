// Plain rectangle of the toolkit's portable code (same field order as the Win32 RECT).
#pragma once

namespace MarkupUI {

struct UiRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool IsZero() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const UiRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

}  // namespace MarkupUI
