// Sample component installer "Setwright.exe", as a package unpacks it into "Setup\". It installs
// one component: reads the component key's InstallPath (HKLM, 32-bit view), puts the component's
// key files there (for the launcher, component 7, "Lumaport.exe" is the sample launcher carried
// inside this program; other key files are small text files), writes the key's Version value,
// and ends with 0.
//
// Settings in "Setwright.ini" beside it (see sample_config.h; all optional):
//   component=<id>  component to install (default 7)
//   version=<text>  Version value to write (default 1.0.0)
//   setupExit=<n>   a non-zero value makes it end at once with that code, installing nothing
// Its arguments are recorded in "Setwright.arguments.txt" in the install folder (one line per run,
// UTF-8), so a caller can see what it was given ("-nodesktopIcon").
//
// Exit codes: 0 installed; 3 unknown component; 4 no InstallPath; 5 files not written;
// 6 Version not written; otherwise the setupExit setting.
#include <windows.h>
#include <shlobj.h>

#include "foundation/text_convert.h"
#include "installer/component_table.h"
#include "registry/registry_key.h"
#include "samples/sample_config.h"
#include "samples/sample_files.h"

namespace {

// The arguments after the program name, as the command line carries them.
std::wstring Arguments() {
  const wchar_t* line = ::GetCommandLineW();
  bool quoted = false;
  for (; *line != 0; ++line) {
    if (*line == L'"') quoted = !quoted;
    else if (!quoted && (*line == L' ' || *line == L'\t')) break;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  samples::SampleConfig config;
  std::string text;
  if (samples::ReadWholeFile(samples::FolderOf(samples::OwnProgramPath()) + L"\\Setwright.ini", text)) {
    samples::ParseSampleConfigLines(text, config);
  }
  const int64_t setupExit = samples::SampleConfigNumber(config, "setupExit", 0);
  if (setupExit != 0) return static_cast<int>(setupExit);

  const ComponentInfo* component =
      FindComponentInfo(static_cast<int32_t>(samples::SampleConfigNumber(config, "component", 7)));
  if (!component) return 3;

  rezorev::RegistryKey key;
  wchar_t installPath[MAX_PATH] = {};
  DWORD length = MAX_PATH;
  if (key.Open(HKEY_LOCAL_MACHINE, component->registryKey, KEY_READ | KEY_WRITE) != ERROR_SUCCESS ||
      key.ReadString(L"InstallPath", installPath, &length) != ERROR_SUCCESS || installPath[0] == 0) {
    return 4;
  }
  std::wstring folder = installPath;
  if (folder.back() == L'\\') folder.pop_back();
  const int created = ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  if (created != ERROR_SUCCESS && created != ERROR_ALREADY_EXISTS && created != ERROR_FILE_EXISTS) return 5;

  samples::AppendToFile(folder + L"\\Setwright.arguments.txt", rezorev::Utf16ToUtf8(Arguments()) + "\r\n");
  for (const wchar_t* name : component->keyFiles) {
    const std::wstring fileName = name;
    const std::string bytes = component->id == 7 && fileName == L"Lumaport.exe"
                                  ? samples::ResourceBytes(samples::kLumaportResource)
                                  : "sample " + rezorev::Utf16ToUtf8(fileName) + " of component " +
                                        std::to_string(component->id) + "\r\n";
    if (bytes.empty() || !samples::WriteWholeFile(folder + L"\\" + fileName, bytes)) return 5;
  }

  const auto version = config.find("version");
  const std::wstring versionText =
      rezorev::Utf8ToUtf16(version != config.end() && !version->second.empty() ? version->second : "1.0.0");
  if (key.WriteString(L"Version", versionText.c_str()) != ERROR_SUCCESS) return 6;
  return 0;
}
