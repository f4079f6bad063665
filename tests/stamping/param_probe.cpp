// Test program for the stamping end-to-end test: reads the channel parameters from its own file
// exactly as the installer does at start-up (log lines included) and prints the fields it ended
// up with, one "name=value" line each, UTF-8.
#include <cstdio>
#include <string>

#include "app/channel_params.h"
#include "foundation/logger.h"
#include "foundation/text_convert.h"

namespace {

void Print(const char* name, const std::string& value) { std::printf("%s=%s\n", name, value.c_str()); }

}  // namespace

int main() {
  LOG_INFO("Main") << "param probe start";
  ChannelParams params;
  InitParamsFromSelf(params);

  Print("international", std::to_string(params.international_));
  Print("supplyid", std::to_string(params.supplyId_));
  Print("buildid", std::to_string(params.buildId_));
  Print("area", params.area_);
  Print("sourceid", params.sourceId_);
  Print("pkgName", params.packageName_);
  Print("marketExternParams", params.marketExternParams_);
  Print("silentMode", std::to_string(params.silentMode_));
  Print("bkgPngNumber", std::to_string(params.backgroundImageCount_));
  Print("title", rezorev::Utf16ToUtf8(params.title_));
  Print("gameName", rezorev::Utf16ToUtf8(params.gameName_));
  Print("createMarketIcon", std::to_string(params.createLauncherIcon_));
  Print("installMarket", std::to_string(params.installMarket_));
  Print("installUI", std::to_string(params.installUI_));
  Print("installRootfs", std::to_string(params.installRootfs_));
  Print("installVDI", std::to_string(params.installVDI_));
  Print("installVDI71", std::to_string(params.installVDI71_));
  Print("installKordin", std::to_string(params.installKordin_));
  std::fflush(stdout);
  return 0;
}
