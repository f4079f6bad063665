// Channel parameters: what one distribution channel tells the program through the JSON blocks
// stamped onto its file (format in app/param_block.h).
//
// Keys, applied in this order; every key is optional and unknown keys are ignored:
//
//   key                   read as                           field
//   "buildid"             number, unsigned 64-bit           buildId_
//   "supplyid"            number or boolean, unsigned 32    supplyId_
//   "international"       number or boolean, signed 32      international_
//   "pkgName"             string                            packageName_
//   "area"                string                            area_
//   "silentMode"          number or boolean, signed 32      silentMode_
//   "marketExternParams"  string                            marketExternParams_
//   "sourceid"            string                            sourceId_
//   "bkgPngNumber"        number or boolean, signed 32      backgroundImageCount_
//   "createMarketIcon"    boolean                           createLauncherIcon_
//   "installMarket"       boolean                           installMarket_
//   "installUI"           boolean                           installUI_
//   "installRootfs"       boolean                           installRootfs_
//   "installVDI"          boolean                           installVDI_
//   "installVDI71"        boolean                           installVDI71_
//   "installKordin"       boolean                           installKordin_
//   "gameName"            string, kept as UTF-16            gameName_
//   "title"               string, kept as UTF-16            title_
//
// Numbers: integers are taken modulo 2^N into the field's N bits (as the JSON library converts
// them); decimals are truncated toward zero, clamped to the 64-bit range, then taken the same
// way. A boolean reads as 1 or 0 where the table allows it. A document that is not a JSON object
// sets nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/param_block.h"

// The channel fields of the process configuration, with the values that hold when no block sets
// them: the main window, supply id 0, and only the launcher (component 7) to install.
struct ChannelParams {
  int32_t international_ = 0;
  uint32_t supplyId_ = 0;
  uint64_t buildId_ = 0;
  std::string area_;                // UTF-8
  std::string sourceId_;            // UTF-8; the run report's appid
  std::string packageName_;         // UTF-8
  std::string marketExternParams_;  // UTF-8; passed on the launcher command line
  int32_t silentMode_ = 0;          // 0 main window, 1 silent-mode window
  int32_t backgroundImageCount_ = 0;
  std::wstring title_;
  std::wstring gameName_;
  bool createLauncherIcon_ = false;
  bool installMarket_ = true;   // component 7, the launcher
  bool installUI_ = false;      // component 1, the user-interface program
  bool installRootfs_ = false;  // component 10, the root file system
  bool installVDI_ = false;     // component 3, disk image
  bool installVDI71_ = false;   // component 8, disk image
  bool installKordin_ = false;  // component 2, the Android runtime
};

// Copies the keys of the table above, without "gameName" and "title", from `document` into
// `params`, in table order. A present key of the wrong type throws nlohmann::json::type_error
// ("[json.exception.type_error.302] type must be number, but is string"); the keys before it
// stay stored, the rest is not read.
void ApplyChannelParams(const nlohmann::json& document, ChannelParams& params);

// ApplyChannelParams, then "gameName" and "title" when `document` is an object. Throws as
// ApplyChannelParams does.
void ApplyChannelDocument(const nlohmann::json& document, ChannelParams& params);

// Applies the blocks in the order given (the scan's order: the block at the end of the file
// last, so its keys win). The first exception ends the applying with the Error line
// "init params from json failed. exception: <message>"; values stored before it stay.
void ApplyParamBlocks(const std::vector<FoundParamBlock>& blocks, ChannelParams& params, ParamLog& log);

// The five Info lines that close the reading of the parameters: package name, supply id,
// build id, source id (as the appid) and background image count.
void LogChannelParams(const ChannelParams& params, ParamLog& log);

// The whole start-up step over an open file of `fileSize` bytes: scan, apply, closing lines.
// Never throws a JSON error; every outcome is a log line and the fields of `params`.
void ReadChannelParams(PositionedReader& reader, uint64_t fileSize, ChannelParams& params, ParamLog& log);

// Target build only. Reads the channel parameters from the program's own file into `params`,
// logging to the program log (tag "GConfig"). Opening or sizing the file failing is an Error
// line and leaves `params` untouched. Called by GlobalConfig's own InitParamsFromSelf as
// ::InitParamsFromSelf(*this).
void InitParamsFromSelf(ChannelParams& params);
