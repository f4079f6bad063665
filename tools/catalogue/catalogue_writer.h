// Writing the component catalogue for a folder of packages, so that digests, sizes and URLs are
// measured, never typed.
//
// Mapping (JSON, UTF-8): which file is which component, for every channel.
//
//   {
//     "baseUrl": "https://dl.example.com/packages/",
//     "common":   [ {"file": "lumaport-1.2.exe", "id": 7, "version": "1.2.0"}, ... ],
//     "channels": [ {"range": "100000-100999,100566", "items": [ {"file": "...", "id": 7} ]} ]
//   }
//
// Item keys, named as the catalogue's attributes: "file" (required; a file of the package
// folder), "id" (required), "name" (default: the file name, which is also the name the
// installer saves the package under), "localaddpath" (default ""), "writePathToRegKey" (default:
// the component's key from the product's component table), "version" (default ""), "DL_ID"
// (default 0), "installInX86" / "installInX64" (default true). Unknown keys are errors, so a typo
// never silently drops a setting. "baseUrl" may also come from the command line.
//
// The catalogue written: a "Components" root with one "Item" per common package, then one
// "other"/"OtherConfig" holding a "ChannelComponents" element (attribute "ChannelRange") per
// channel group. Every item carries id, name, localaddpath, installInX86, installInX64,
// writePathToRegKey, DL_ID, hash (MD5, lower-case hex), filesize, url (base URL + the file name,
// percent-encoded) and version.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct CataloguePackage {
  std::string file_;
  int32_t id_ = -1;
  std::string name_;
  std::string localAddPath_;
  std::string registryKey_;
  std::string version_;
  uint64_t downloadId_ = 0;
  bool installInX86_ = true;
  bool installInX64_ = true;
  // Measured from the file by MeasurePackages.
  std::string md5_;
  uint64_t size_ = 0;
};

struct CatalogueChannelGroup {
  std::string range_;
  std::vector<CataloguePackage> items_;
};

struct CataloguePlan {
  std::string baseUrl_;
  std::vector<CataloguePackage> common_;
  std::vector<CatalogueChannelGroup> channels_;
};

// Adds the mapping's groups to `plan` (a "baseUrl" in it replaces plan's). False with a message
// naming the offending entry on malformed JSON, a wrong type, an unknown key or a missing field.
bool ReadCatalogueMapping(const std::string& json, CataloguePlan& plan, std::string& error);

// One item written on the command line: "ID=FILE" followed by ",key=value" settings with the
// mapping's item keys, e.g. "7=lumaport.exe,localaddpath=market,version=1.2.0".
bool ParseCatalogueItemArgument(const std::string& text, CataloguePackage& item, std::string& error);

// Checks what the installer would trip over and fills the defaults: a base URL the downloader can
// split, a channel range made of "low-high" and single numbers (low <= high) separated by commas
// or spaces, at most one item per id in each group, a registry key for every item (from the
// component table when not given), names without path separators.
bool CompleteCataloguePlan(CataloguePlan& plan, std::string& error);

// The package URL: base URL (a "/" added when missing) + the file name, with every byte outside
// A-Z a-z 0-9 - . _ ~ percent-encoded.
std::string PackageUrl(const std::string& baseUrl, const std::string& file);

// Digest and size of every item's file in `folder`. False naming the file that cannot be read.
bool MeasurePackages(const std::string& folder, CataloguePlan& plan, std::string& error);

// The catalogue XML (UTF-8, with declaration) of a completed, measured plan.
std::string WriteCatalogueXml(const CataloguePlan& plan);
