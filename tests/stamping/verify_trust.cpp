// Test helper: prints the Authenticode verdict of WinVerifyTrust (generic verify, no UI, no
// revocation checks) on each file named on its command line, one "0x%08X" line per file, in
// order. Exit status 0 when every verdict was printed, 2 on bad usage.
#include <windows.h>
#include <softpub.h>
#include <wintrust.h>

#include <cstdio>
#include <string>

namespace {

LONG Verdict(const std::wstring& path) {
  WINTRUST_FILE_INFO file = {};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path.c_str();
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  LONG verdict = ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  data.dwStateAction = WTD_STATEACTION_CLOSE;  // releases the state the verification kept
  ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return verdict;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: verify_trust FILE...\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) std::printf("0x%08lX\n", static_cast<unsigned long>(Verdict(argv[i])));
  return 0;
}
