// Sample launcher "Lumaport.exe": records the command line it was started with, one line per start
// (UTF-8, CR LF), in "Lumaport.command_line.txt" next to itself, and ends with 0.
#include <windows.h>

#include "foundation/text_convert.h"
#include "samples/sample_files.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::wstring record = samples::FolderOf(samples::OwnProgramPath()) + L"\\Lumaport.command_line.txt";
  return samples::AppendToFile(record, rezorev::Utf16ToUtf8(::GetCommandLineW()) + "\r\n") ? 0 : 1;
}
