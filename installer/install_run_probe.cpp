// Test program: one whole install run on the install engine, without a window, as the main window
// would drive it - with the process configuration (channel parameters stamped onto this file),
// the real catalogue, download, installation and report - then, when asked, the finishing step.
//
//   install_run_probe.exe [finish] [noicon]
//   install_run_probe.exe readlink LINK.lnk     prints the shortcut as the shell reads it
//
// Reports are sent in order on this thread (the program posts them to the worker pool, where
// their order is not fixed). Prints one JSON object: run state, result code, the install list's
// package files and the local info.
#include <windows.h>

#include <objbase.h>
#include <shobjidl.h>

#include <cstdio>
#include <cwchar>

#include <nlohmann/json.hpp>

#include "app/global_config.h"
#include "foundation/text_convert.h"
#include "installer/install_engine.h"
#include "net/data_report.h"

namespace {

class ProbeEngine : public CInstallEngine {
 public:
  explicit ProbeEngine(bool iconOption) : CInstallEngine(GlobalConfig::Instance()), iconOption_(iconOption) {}

  void Report(int32_t code, int32_t p5, int32_t p6, int32_t p7) override {
    DataReport::Instance().ReportData({{"ireserve1", code}, {"ireserve5", p5}, {"ireserve6", p6}, {"ireserve7", p7}});
  }
  void PostDownloadProgress(uint32_t percent) override { ++progressCalls_; lastProgress_ = percent; }
  void PostProgressComplete() override { progressComplete_ = true; }
  bool CreateIconSelected() const override { return iconOption_; }
  void CloseAfterFinish() override { closed_ = true; }

  bool iconOption_;
  int progressCalls_ = 0;
  uint32_t lastProgress_ = 0;
  bool progressComplete_ = false;
  bool closed_ = false;
};

// Reads a shortcut back through IShellLinkW / IPersistFile.
int ReadLink(const wchar_t* path) {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  nlohmann::json out;
  if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(path, STGM_READ))) {
    wchar_t text[1024] = {};
    int index = 0;
    link->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
    out["target"] = rezorev::Utf16ToUtf8(text);
    text[0] = 0;
    link->GetArguments(text, 1024);
    out["arguments"] = rezorev::Utf16ToUtf8(text);
    text[0] = 0;
    link->GetDescription(text, 1024);
    out["description"] = rezorev::Utf16ToUtf8(text);
    text[0] = 0;
    link->GetIconLocation(text, 1024, &index);
    out["icon"] = rezorev::Utf16ToUtf8(text);
  }
  if (file) file->Release();
  if (link) link->Release();
  ::CoUninitialize();
  std::printf("%s\n", out.dump().c_str());
  return out.empty() ? 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wcscmp(argv[1], L"readlink") == 0) return ReadLink(argv[2]);
  bool finish = false, icon = true;
  for (int i = 1; i < argc; ++i) {
    if (std::wcscmp(argv[i], L"finish") == 0) finish = true;
    if (std::wcscmp(argv[i], L"noicon") == 0) icon = false;
  }
  ProbeEngine engine(icon);
  engine.GetNeedInstallComponentLocalInfo();
  engine.DoInstallComponent();
  if (finish && engine.RunState() == kRunComplete) engine.FinishInstall();

  nlohmann::json out;
  out["runState"] = engine.RunState();
  out["resultCode"] = engine.ResultCode();
  out["progressCalls"] = engine.progressCalls_;
  out["progressComplete"] = engine.progressComplete_;
  out["closed"] = engine.closed_;
  out["installList"] = nlohmann::json::array();
  for (const ComponentItem& item : engine.InstallList())
    out["installList"].push_back({{"id", item.id_}, {"packageFile", rezorev::Utf16ToUtf8(item.packageFile_)}});
  for (const auto& entry : engine.LocalInfo())
    out["localInfo"][std::to_string(entry.first)] = rezorev::Utf16ToUtf8(entry.second.installPath_);
  std::printf("%s\n", out.dump().c_str());
  std::fflush(stdout);
  return 0;
}
