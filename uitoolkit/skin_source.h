// The skin sources: where the toolkit reads markup, images and fonts from.
//
// One process-wide state says where the skin lives: a resource folder on disk, or a skin package
// (a ZIP archive in memory, named "membuffer", or a package file in the resource folder) that is
// held open while it is in use. CPaintManagerUI sets this state up (SetResourceFolder,
// UseMemoryPackage, UsePackageFile); the readers below only consult it. UI thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "uitoolkit/package_reader.h"
#include "uitoolkit/ui_string.h"

namespace MarkupUI {

struct SkinSourceState {
  UiString resourceFolder;   // ends with a backslash when not empty
  UiString packageName;      // empty: no package in use; "membuffer": the memory package
  UiString packagePassword;  // empty in this program
  ScopedPackage package;     // the held package, when cached
  bool packageCached = false;
};

SkinSourceState& SkinSources();

// Reads a markup file by name (at most 4 MiB) from the package in use, else from the resource
// folder. Returns null on success, or the reason, one of the CXmlMarkup read messages.
const wchar_t* ReadMarkupFile(const wchar_t* name, std::vector<uint8_t>& bytes);

// Reads an image or font file by name: the package entry (with "\" read as "/") when a package is
// in use, else the resource folder file; when that fails and `fallBackToPath` is set, the name
// itself as a path. Entries and files over kMaxSkinFileBytes are refused. False when nothing
// could be read; `bytes` is then empty.
constexpr uint32_t kMaxSkinFileBytes = 64u * 1024u * 1024u;
bool ReadSkinFile(const wchar_t* name, bool fallBackToPath, std::vector<uint8_t>& bytes);

}  // namespace MarkupUI
