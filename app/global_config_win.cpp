// GlobalConfig's start-up decisions (see global_config.h for their order).
#include "app/global_config.h"

#include <windows.h>

#include "app/language_choice.h"
#include "foundation/drive_probe.h"
#include "foundation/logger.h"
#include "foundation/system_utils.h"
#include "foundation/text_convert.h"
#include "net/data_report.h"
#include "registry/registry_key.h"
#include "registry/winreg_key.h"

namespace {

const wchar_t kProductKey[] = L"Software\\Corvel\\Zentharo";
const wchar_t kTempPathValue[] = L"TempPath";
const wchar_t kUserLanguageValue[] = L"UserLanguage";
constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;

bool IsFolder(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// "UserLanguage" of the per-user product key opened with `access`; empty on any failure.
std::wstring ReadUserLanguage(REGSAM access) {
  rezorev::RegistryKey key;
  if (key.Open(HKEY_CURRENT_USER, kProductKey, access) != ERROR_SUCCESS) return std::wstring();
  wchar_t buffer[MAX_PATH] = {};
  DWORD length = MAX_PATH;
  if (key.ReadString(kUserLanguageValue, buffer, &length) != ERROR_SUCCESS) return std::wstring();
  return buffer;
}

std::wstring LocaleText(LCTYPE type) {
  wchar_t buffer[MAX_PATH] = {};
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, MAX_PATH) == 0) return std::wstring();
  return buffer;
}

}  // namespace

GlobalConfig& GlobalConfig::Instance() {
  static GlobalConfig* instance = new GlobalConfig();  // never destroyed: read until the very end
  return *instance;
}

GlobalConfig::GlobalConfig() {
  defaultDriveRoot_ = rezorev::PickWorkDrive();
  InitParamsFromSelf();
  InitTempPath();
  InitInstallPath();
  InitSupplyid();
  InitLanguageSetting();

  DataReport& report = DataReport::Instance();
  report.SetSourceId(sourceId_);
  report.SetClientVersion(buildId_);
  report.SetSupplyId(supplyId_);
  report.SetLanguage(language_);
  LOG_INFO("GConfig") << "client id: 190912";
}

void GlobalConfig::InitParamsFromSelf() { ::InitParamsFromSelf(*this); }

void GlobalConfig::InitTempPath() {
  const std::wstring defaultDir = defaultDriveRoot_ + L"Temp\\Quilldrop\\Component\\";
  auto useDefault = [&] {
    tempDir_ = defaultDir;
    if (!IsFolder(tempDir_)) {
      rezorev::EnsureFolder(tempDir_);
      // Downloads will fail with their own error; the folder path is still the one to use.
      if (!IsFolder(tempDir_)) LOG_ERROR("GConfig") << "create temp path [" << tempDir_ << "] failed.";
    }
  };

  winreg::Key key;
  bool keyOpen = true;
  try {
    key.Create(HKEY_CURRENT_USER, kProductKey);
  } catch (const winreg::RegException& e) {
    keyOpen = false;
    LOG_ERROR("GConfig") << "open " << kProductKey << " failed. " << e.what();
  }

  // A value that cannot be read, or that names a folder which no longer exists, is replaced by
  // the default folder and written back.
  bool writeBack = false;
  if (keyOpen) {
    try {
      tempDir_ = key.GetString(kTempPathValue);
    } catch (const winreg::RegException& e) {
      LOG_WARN("GConfig") << "TempPath" << " reg value read failed. " << e.what();
      tempDir_.clear();
    }
  }
  if (!IsFolder(tempDir_)) {
    useDefault();
    writeBack = keyOpen;
  }
  if (writeBack) {
    try {
      key.SetString(kTempPathValue, tempDir_);
    } catch (const winreg::RegException& e) {
      LOG_ERROR("GConfig") << "write " << "TempPath" << " reg value failed. " << e.what();
    }
  }
  LOG_INFO("GConfig") << "current temp path: [" << tempDir_ << "]";
}

void GlobalConfig::InitInstallPath() {
  installDir_ = defaultDriveRoot_ + L"Program Files\\Velmora\\";
  LOG_INFO("GConfig") << "current install path: " << installDir_;
}

void GlobalConfig::InitSupplyid() {
  rezorev::RegistryKey key;
  DWORD stored = 0;
  if (key.Open(HKEY_LOCAL_MACHINE, kProductKey, kReadWrite) == ERROR_SUCCESS &&
      key.ReadDword(L"SupplyId", &stored) == ERROR_SUCCESS) {
    // Only recorded: the program keeps the supply id of its own channel.
    LOG_INFO("GConfig") << "read supplyid [" << static_cast<uint32_t>(stored) << "] from register";
  } else if (key.Create(HKEY_LOCAL_MACHINE, kProductKey) == ERROR_SUCCESS &&
             key.WriteDword(L"SupplyId", supplyId_) == ERROR_SUCCESS) {
    LOG_INFO("GConfig") << "write supplyid " << supplyId_ << " to register";
  }
  LOG_INFO("GConfig") << "runtime supplyid [" << supplyId_ << "]";
}

void GlobalConfig::InitLanguageSetting() {
  std::wstring stored = ReadUserLanguage(kReadWrite);
  if (!stored.empty()) {
    language_ = stored;  // an earlier run's choice, used as it stands
  } else {
    LanguageFacts facts;
    facts.storedLanguage = ReadUserLanguage(KEY_READ);
    facts.uiLanguage = ::GetUserDefaultUILanguage();
    facts.localeLanguage = LocaleText(LOCALE_SISO639LANGNAME);
    facts.localeCountry = LocaleText(LOCALE_SISO3166CTRYNAME);
    bool peltoPackage = false;
    language_ = ApplyChannelLanguage(DetectLanguage(facts), packageName_, international_, &peltoPackage);
    if (peltoPackage) {
      rezorev::RegistryKey machine;
      if (machine.Open(HKEY_LOCAL_MACHINE, kProductKey, kReadWrite) == ERROR_SUCCESS)
        machine.WriteDword(L"PeltoVersion", 1);
    }
    rezorev::RegistryKey user;
    if (user.Open(HKEY_CURRENT_USER, kProductKey, kReadWrite) == ERROR_SUCCESS ||
        user.Create(HKEY_CURRENT_USER, kProductKey) == ERROR_SUCCESS)
      user.WriteString(kUserLanguageValue, language_.c_str());
  }
  LOG_INFO("GConfig") << "current language: " << language_;
}
