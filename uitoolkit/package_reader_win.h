// Opening a skin package from a file handle the caller already holds (Windows only).
#pragma once

#include <windows.h>

#include "uitoolkit/package_reader.h"

namespace MarkupUI {

// Reads the archive from the handle's current position, which counts as offset 0. The caller
// keeps the handle open while the package is in use and closes it afterwards. A handle that
// cannot seek gives null with kPackageCannotSeek.
UiPackage* OpenPackageHandle(HANDLE file, const char* password);

}  // namespace MarkupUI
