// GlobalConfig: the process-wide configuration.
//
// Created on the first call of Instance() - by process entry, on the main thread, before any
// window or worker thread exists - and never destroyed. Its constructor makes every start-up
// decision, in this order:
//
//   1. the work drive (PickWorkDrive): the root that receives the download and install folders;
//   2. the channel parameters stamped onto the program file;
//   3. the package download folder, remembered per user as HKCU\...\TempPath;
//   4. the proposed install folder, <work drive>Program Files\Velmora\;
//   5. the machine's record of the first channel, HKLM\...\SupplyId (written only when missing);
//   6. the interface language, remembered per user as HKCU\...\UserLanguage;
//
// then hands source id, build id, supply id and language to the run report. All keys are below
// Software\Corvel\Zentharo, in the 32-bit registry view. Nothing here stops the program: every
// failure falls back to a default and is logged with tag "GConfig".
//
// After construction only the install folder changes (ChangeInstallDir, UI thread, never during
// an install run); the channel fields (ChannelParams) are read directly.
#pragma once

#include <string>

#include "app/channel_params.h"

class GlobalConfig : public ChannelParams {
 public:
  static GlobalConfig& Instance();

  std::wstring Title() const { return title_; }
  std::wstring GameName() const { return gameName_; }
  std::wstring Language() const { return language_; }
  std::wstring TempDir() const { return tempDir_; }
  std::wstring InstallDir() const { return installDir_; }
  std::wstring DefaultDriveRoot() const { return defaultDriveRoot_; }
  std::string PkgName() const { return packageName_; }
  std::string MarketExternParams() const { return marketExternParams_; }

  void ChangeInstallDir(const std::wstring& path) { installDir_ = path; }

 private:
  GlobalConfig();
  GlobalConfig(const GlobalConfig&) = delete;
  GlobalConfig& operator=(const GlobalConfig&) = delete;

  void InitParamsFromSelf();
  void InitTempPath();
  void InitInstallPath();
  void InitSupplyid();
  void InitLanguageSetting();

  std::wstring language_ = L"zh_CN";
  std::wstring tempDir_;
  std::wstring defaultDriveRoot_;
  std::wstring installDir_;
};
