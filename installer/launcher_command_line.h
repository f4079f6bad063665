// The launcher's command line, built from the channel parameters.
//
//   " -pkg <package> -apksupplyid <supply id> -displayname <game name>" + " " + <extra parameters>
//
// The " -pkg" part appears only when both the package name and the display name are set; the line
// always ends with " " + extra parameters. The narrow text is read in the ANSI code page, so the
// UTF-8 package name and extra parameters pass through as their bytes.
#pragma once

#include <cstdint>
#include <string>

struct LauncherArgs {
  uint64_t supplyId = 0;
  std::string packageName;  // UTF-8 bytes as stored
  std::string displayName;  // the game name in the ANSI code page
  std::string extraParams;  // UTF-8 bytes as stored
};

std::wstring BuildLauncherCommandLine(const LauncherArgs& args);

// Arguments of the game shortcut: " -startpkg <package> <extra parameters> -from DesktopLink".
std::wstring BuildGameShortcutArguments(const std::wstring& packageName, const std::wstring& extraParams);

// File name of the brand shortcut: "Brindle.lnk" for an international channel, else "Varnholt.lnk".
std::wstring BrandShortcutName(bool international);
