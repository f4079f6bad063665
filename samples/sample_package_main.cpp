// Sample component package: what a package program must do for the installer. Run (hidden) in
// its download folder, it unpacks its installer "Setwright.exe" into "Setup\" below the current
// folder, hands the installer its settings in "Setup\Setwright.ini", and ends with its exit code.
//
// Settings appended to this program's file (see sample_config.h; all optional):
//   exit=<n>        exit code of the package (default 0; 1000 also means success to the installer)
//   unpack=0        leave "Setup\" without an installer (the installer then reports it missing)
//   component=<id>, version=<text>, setupExit=<n>   passed on to Setwright (see setwright_main.cpp)
// Exit code 2: the installer could not be unpacked.
#include <windows.h>

#include "samples/sample_config.h"
#include "samples/sample_files.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const samples::SampleConfig config =
      samples::FindAppendedSampleConfig(samples::ReadFileTail(samples::OwnProgramPath(), samples::kSampleConfigTail));
  const int exitCode = static_cast<int>(samples::SampleConfigNumber(config, "exit", 0));
  if (samples::SampleConfigNumber(config, "unpack", 1) == 0) return exitCode;

  samples::SampleConfig forInstaller;
  for (const char* key : {"component", "version", "setupExit"}) {
    const auto it = config.find(key);
    if (it != config.end()) forInstaller[key] = it->second;
  }
  const std::string installer = samples::ResourceBytes(samples::kSetwrightResource);
  ::CreateDirectoryW(L"Setup", nullptr);  // may exist; the writes below tell
  if (installer.empty() || !samples::WriteWholeFile(L"Setup\\Setwright.exe", installer) ||
      !samples::WriteWholeFile(L"Setup\\Setwright.ini", samples::FormatSampleConfig(forInstaller))) {
    return 2;
  }
  return exitCode;
}
