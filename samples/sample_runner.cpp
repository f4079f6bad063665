// Runs a program the way the installer runs packages and their installers: through the shell's
// "open" verb, hidden, in the current folder, waiting for its end. Prints
// {"started": true|false, "exitCode": n} on one line (exitCode -1 when it did not run).
//
//   sample_runner.exe <program> [parameters]
#include <windows.h>

#include <cstdio>
#include <string>

#include "foundation/system_utils.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: sample_runner <program> [parameters]\n");
    return 2;
  }
  uint32_t exitCode = static_cast<uint32_t>(-1);
  const bool started = rezorev::RunProgram(argv[1], argc > 2 ? argv[2] : L"", true, &exitCode);
  std::printf("{\"started\": %s, \"exitCode\": %d}\n", started ? "true" : "false", static_cast<int>(exitCode));
  return 0;
}
