// Test program: builds the process configuration the way the installer does at start-up and
// prints what it settled as one JSON object on standard output.
#include <cstdio>

#include <nlohmann/json.hpp>

#include "app/global_config.h"
#include "foundation/logger.h"
#include "foundation/text_convert.h"

int wmain() {
  GlobalConfig& config = GlobalConfig::Instance();
  nlohmann::json out;
  out["language"] = rezorev::Utf16ToUtf8(config.Language());
  out["tempDir"] = rezorev::Utf16ToUtf8(config.TempDir());
  out["installDir"] = rezorev::Utf16ToUtf8(config.InstallDir());
  out["driveRoot"] = rezorev::Utf16ToUtf8(config.DefaultDriveRoot());
  out["supplyId"] = config.supplyId_;
  out["international"] = config.international_;
  out["pkgName"] = config.PkgName();
  out["logFile"] = rezorev::Utf16ToUtf8(rezorev::Logger::Instance().FilePath());
  std::printf("%s\n", out.dump().c_str());
  std::fflush(stdout);
  return 0;
}
