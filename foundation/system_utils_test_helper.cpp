// A program that system_utils_test starts through RunProgram:
//   exit <code>            ends with <code>
//   show <file>            writes the show mode it was started with to <file>, ends with 0
//   late <ms> <file>       waits <ms> milliseconds, then creates <file>, ends with 0
//   dbcs <file>            writes to <file> and ends with: 1 if ContainsDbcsLeadByte is true for a
//                          Chinese path and false for an ASCII one, 0 if it is false for both, 2 if
//                          the process's ANSI code page is not a double-byte one, 3 if it is true
//                          for the ASCII path
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <fstream>
#include <string>

#include "foundation/system_utils.h"

int main() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 2) return 100;
  const std::wstring command = argv[1];
  if (command == L"exit" && argc == 3) return static_cast<int>(std::wcstoul(argv[2], nullptr, 10));
  if (command == L"show" && argc == 3) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ::GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    std::ofstream(argv[2]) << show;
    return 0;
  }
  if (command == L"late" && argc == 4) {
    ::Sleep(std::wcstoul(argv[2], nullptr, 10));
    std::ofstream(argv[3]) << "done";
    return 0;
  }
  if (command == L"dbcs" && argc == 3) {
    int result = 2;
    CPINFO info{};
    if (::GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 2) {
      if (rezorev::ContainsDbcsLeadByte(L"D:\\Program Files\\Velmora\\")) {
        result = 3;
      } else {
        result = rezorev::ContainsDbcsLeadByte(L"D:\\\u6e38\u620f\\Velmora\\") ? 1 : 0;
      }
    }
    std::ofstream(argv[2]) << result;
    return result;
  }
  return 100;
}
