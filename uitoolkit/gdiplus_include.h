// GDI+ headers for the toolkit's drawing code. They expect min and max, which NOMINMAX removes.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <algorithm>

namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>
