#include "installer/launcher_command_line.h"

#include <gtest/gtest.h>

TEST(LauncherCommandLine, Composition) {
  struct Case {
    LauncherArgs args;
    const wchar_t* expected;
  } cases[] = {
      {{100566, "com.example.game", "Example", ""}, L" -pkg com.example.game -apksupplyid 100566 -displayname Example "},
      {{100566, "com.example.game", "Example", "-lang en"},
       L" -pkg com.example.game -apksupplyid 100566 -displayname Example -lang en"},
      {{100566, "", "Example", "-x"}, L" -x"},               // no package: no -pkg part
      {{100566, "com.example.game", "", ""}, L" "},          // no display name either
      {{0, "", "", ""}, L" "},
      {{4294967295u, "p", "d", ""}, L" -pkg p -apksupplyid 4294967295 -displayname d "},
  };
  for (const Case& c : cases) EXPECT_EQ(BuildLauncherCommandLine(c.args), c.expected);
}

TEST(LauncherCommandLine, ShortcutArgumentsAndBrand) {
  EXPECT_EQ(BuildGameShortcutArguments(L"com.example.game", L""), L" -startpkg com.example.game  -from DesktopLink");
  EXPECT_EQ(BuildGameShortcutArguments(L"p", L"-a 1"), L" -startpkg p -a 1 -from DesktopLink");
  EXPECT_EQ(BrandShortcutName(true), L"Brindle");
  EXPECT_EQ(BrandShortcutName(false), L"Varnholt");
}
