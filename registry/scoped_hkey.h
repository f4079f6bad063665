// ScopedHKey: the owner of one open registry key handle.
//
// Same shape as the kernel-handle owners in foundation/scoped_handle.h: moves, never copies;
// closing restores the thread's last error. Only for handles that RegOpenKeyEx / RegCreateKeyEx
// returned: the predefined roots (HKEY_LOCAL_MACHINE and its siblings) are never held here.
#pragma once

#include <windows.h>

#include "foundation/scoped_handle.h"

namespace rezorev {

struct RegistryKeyTraits {
  static HKEY Empty() { return nullptr; }
  static void Free(HKEY key) { ::RegCloseKey(key); }
};

using ScopedHKey = ScopedGeneric<HKEY, RegistryKeyTraits>;

}  // namespace rezorev
