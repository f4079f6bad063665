// ComponentItem: one package of the component catalogue, as read from one "Item" element.
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct ComponentItem {
  int32_t id_ = -1;                // component id; key of the item maps
  std::wstring name_;              // file name of the downloaded package
  std::wstring localAddPath_;      // relative sub folder below the download and install folders
  bool installInX86_ = true;       // carried only
  bool installInX64_ = true;       // carried only
  std::wstring registryKey_;       // component key below HKEY_LOCAL_MACHINE
  uint64_t downloadId_ = 0;        // carried only
  std::wstring hash_;              // MD5 of the package, compared without regard to case
  uint64_t fileSize_ = 0;          // carried only
  std::wstring url_;               // where the package is downloaded from
  std::wstring version_;           // carried only
  std::wstring downloadFolder_;    // set by the download: folder the package was saved in
  std::wstring packageFile_;       // set by the download: full path of the verified package
};

// Items by component id, as the catalogue lists them.
using ComponentItemMap = std::map<int32_t, ComponentItem>;
