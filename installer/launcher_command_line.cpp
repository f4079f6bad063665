#include "installer/launcher_command_line.h"

#include "foundation/text_convert.h"

std::wstring BuildLauncherCommandLine(const LauncherArgs& args) {
  std::string line;
  if (!args.packageName.empty() && !args.displayName.empty())
    line = " -pkg " + args.packageName + " -apksupplyid " + std::to_string(args.supplyId) + " -displayname " +
           args.displayName;
  line += " " + args.extraParams;
  return rezorev::AnsiToUtf16(line);
}

std::wstring BuildGameShortcutArguments(const std::wstring& packageName, const std::wstring& extraParams) {
  return L" -startpkg " + packageName + L" " + extraParams + L" -from DesktopLink";
}

std::wstring BrandShortcutName(bool international) { return international ? L"Brindle" : L"Varnholt"; }
