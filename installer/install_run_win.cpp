// The install run on the worker thread - catalogue download, package download and verification,
// package installation, the driver that ties them together - and the finishing step.
//
// Sections: helpers; DownloadComponentXml; DownloadComponent; InstallComponent;
// DoInstallComponent; FinishInstall; default hooks.
#include <windows.h>

#include <shlwapi.h>

#include <cstdio>
#include <stdexcept>

#include "app/global_config.h"
#include "digest/md5.h"
#include "foundation/logger.h"
#include "foundation/system_utils.h"
#include "foundation/text_convert.h"
#include "installer/desktop_shortcut_win.h"
#include "installer/install_engine.h"
#include "installer/launcher_command_line.h"
#include "net/data_report.h"
#include "net/http_client.h"
#include "net/url_downloader.h"
#include "registry/registry_key.h"

namespace {

const wchar_t kProductKey[] = L"Software\\Corvel\\Zentharo";
const char kPrimaryCatalogueUrl[] = ORVIX_CATALOGUE_PRIMARY_SERVER "/downloads/xml/compoment.xml";
const char kFallbackCatalogueUrl[] = ORVIX_CATALOGUE_FALLBACK_SERVER "/open/qvlm/xml/compoment.xml";
const wchar_t kPackageUserAgent[] = L"OrvixDownloader/1.0";

bool IsFolder(const std::wstring& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Creates `folder` with its parents when missing; true when it exists afterwards.
bool MakeFolder(const std::wstring& folder) {
  if (!IsFolder(folder)) rezorev::EnsureFolder(folder);
  return IsFolder(folder);
}

bool SameDigest(const std::wstring& computed, const std::wstring& expected) {
  // An unreadable file has no digest: it never matches, not even an empty catalogue hash.
  return !computed.empty() && ::CompareStringOrdinal(computed.c_str(), -1, expected.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Restores the process's current folder when the scope ends.
class CurrentFolderScope {
 public:
  CurrentFolderScope() {
    wchar_t buffer[MAX_PATH] = {};
    if (::GetCurrentDirectoryW(MAX_PATH, buffer) != 0) saved_ = buffer;
  }
  ~CurrentFolderScope() {
    if (!saved_.empty()) ::SetCurrentDirectoryW(saved_.c_str());
  }
  CurrentFolderScope(const CurrentFolderScope&) = delete;
  CurrentFolderScope& operator=(const CurrentFolderScope&) = delete;

 private:
  std::wstring saved_;
};

}  // namespace

// --- DownloadComponentXml ---

std::wstring CInstallEngine::DownloadComponentXml() {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"OrvixDownload\\";
  if (!MakeFolder(folder)) {
    LOG_ERROR("ComponentXml") << "create folder " << folder << " failed. Error code: "
                              << static_cast<uint32_t>(::GetLastError());
    SetResultCode(18);
    return std::wstring();
  }
  wchar_t file[MAX_PATH] = {};
  if (::GetTempFileNameW(folder.c_str(), L"", 0, file) == 0) {
    LOG_ERROR("ComponentXml") << "get temp file failed. Error code: " << static_cast<uint32_t>(::GetLastError());
    SetResultCode(18);
    return std::wstring();
  }

  HttpTextResult result;
  bool fetched = false;
  for (const char* url : {kPrimaryCatalogueUrl, kFallbackCatalogueUrl}) {
    result = HttpGetText(url, L"utf-8");
    if (IsHttpSuccess(result)) {
      fetched = true;
      break;
    }
    LOG_ERROR("ComponentXml") << "download component file use " << url << " failed. http code: " << result.status
                              << " error code: " << static_cast<uint32_t>(::GetLastError());
  }
  if (!fetched) {
    SetResultCode(2);
    return std::wstring();
  }

  // Text mode: line feeds are written as CR LF, as the catalogue file always has been.
  if (FILE* out = _wfopen(file, L"wt")) {
    std::fwrite(result.body.data(), 1, result.body.size(), out);
    std::fclose(out);
  }
  LOG_INFO("ComponentXml") << "download component xml success. file path: " << file;
  return file;
}

// --- DownloadComponent ---

bool CInstallEngine::DownloadComponent() {
  for (ComponentItem& item : installList_) {
    item.downloadFolder_ = TempDir() + item.localAddPath_ + L"\\";
    if (!MakeFolder(item.downloadFolder_)) {
      LOG_ERROR("Component") << "create download folder " << item.downloadFolder_ << " failed. error code: "
                             << static_cast<uint32_t>(::GetLastError());
      SetResultCode(18);
      Report(202, 18, item.id_, 0);
      return false;
    }
    const std::wstring packageFile = item.downloadFolder_ + item.name_;

    if (rezorev::FileExists(packageFile)) {
      if (SameDigest(GetFileHexMd5(packageFile), item.hash_)) {
        LOG_INFO("Component") << item.name_ << " is existed. path: " << packageFile;
        item.packageFile_ = packageFile;
        continue;
      }
      rezorev::RemoveFile(packageFile);
    }

    PostDownloadProgress(0);
    Report(201, 0, item.id_, 0);
    LOG_INFO("Component") << "start download component name: " << item.name_ << " url:[" << item.url_
                          << "] localPath:[" << packageFile << "]";
    DownloadResult download = DownloadUrlToFile(item.url_, packageFile,
                                                [this](uint32_t percent, uint32_t) { PostDownloadProgress(percent); },
                                                kPackageUserAgent);
    if (!download.ok_) {
      LOG_ERROR("Component") << "download component: " << item.name_ << " failed. error type: "
                             << static_cast<int32_t>(download.errorType_) << " error code: "
                             << static_cast<int32_t>(download.errorCode_);
      SetResultCode(static_cast<int32_t>(download.errorType_));
      Report(202, static_cast<int32_t>(download.errorType_), item.id_, static_cast<int32_t>(download.errorCode_));
      return false;
    }
    Report(203, 0, item.id_, 0);
    LOG_INFO("Component") << "download component name:" << item.name_ << " success localPath:[" << packageFile << "]";

    const std::wstring digest = GetFileHexMd5(packageFile);
    LOG_INFO("Component") << "local component file " << item.name_ << " md5: " << digest;
    if (!SameDigest(digest, item.hash_)) {
      LOG_ERROR("Component") << "local component file md5 check failed. local md5: " << digest
                             << " server md5: " << item.hash_;
      SetResultCode(20);
      Report(202, 20, item.id_, 0);
      return false;  // the rejected file stays; the next run replaces it
    }
    item.packageFile_ = packageFile;
  }
  PostProgressComplete();
  return true;
}

// --- InstallComponent ---

bool CInstallEngine::InstallComponent() {
  rezorev::RegistryKey key;
  LONG status = key.Create(HKEY_LOCAL_MACHINE, kProductKey);
  if (status != ERROR_SUCCESS) {
    LOG_ERROR("Component") << "create " << kProductKey << " reg path failed. error code: "
                           << static_cast<uint32_t>(status);
    SetResultCode(17);  // the items are still attempted; the run fails at the end
  }

  int32_t lastId = -1;
  for (const ComponentItem& item : installList_) {
    lastId = item.id_;
    Report(301, 0, item.id_, 0);
    const bool quietLauncher = item.id_ == 7 && params_.packageName_.empty() && !params_.createLauncherIcon_;
    const std::wstring installerArgs = quietLauncher ? L"-nodesktopIcon" : L"";

    status = key.Create(HKEY_LOCAL_MACHINE, item.registryKey_.c_str());
    if (status == ERROR_CHILD_MUST_BE_VOLATILE) {
      // A volatile product key left by an interrupted install: replace it and create the item's
      // key again, so that InstallPath lands in the right key.
      rezorev::RepairVolatileProductKey();
      status = key.Create(HKEY_LOCAL_MACHINE, item.registryKey_.c_str());
    }
    if (status != ERROR_SUCCESS) {
      LOG_ERROR("Component") << "create " << item.registryKey_ << " reg path failed. error code: "
                             << static_cast<uint32_t>(status);
      SetResultCode(17);
      break;
    }
    const std::wstring installFolder = InstallDir() + item.localAddPath_;
    key.WriteString(L"InstallPath", installFolder.c_str());
    localInfo_[item.id_].installPath_ = installFolder;
    MakeFolder(installFolder);

    CurrentFolderScope currentFolder;
    ::SetCurrentDirectoryW(item.downloadFolder_.c_str());
    const std::wstring setupFolder = item.downloadFolder_ + L"Setup\\";
    if (::PathFileExistsW(setupFolder.c_str())) {
      std::vector<std::wstring> failed;
      if (!rezorev::RemoveFolderTree(setupFolder, failed)) {
        LOG_WARN("Component") << "delete " << setupFolder << " failed. error code: "
                              << static_cast<uint32_t>(::GetLastError());
        SetResultCode(19);
        break;
      }
    }

    uint32_t exitCode = 0;
    rezorev::RunProgram(item.packageFile_, L"", true, &exitCode);
    if (exitCode == 1000) exitCode = 0;  // the packages' own word for success
    LOG_INFO("Component") << "install component " << item.name_ << " Result[" << exitCode << "]";
    if (exitCode != 0) {
      SetResultCode(14);
      break;
    }
    const std::wstring installer = setupFolder + L"Setwright.exe";
    if (!::PathFileExistsW(installer.c_str())) {
      LOG_ERROR("component") << installer << " don't exist!";
      SetResultCode(15);
      break;
    }
    exitCode = 0;
    rezorev::RunProgram(installer, installerArgs, true, &exitCode);
    LOG_INFO("Component") << "install component " << item.name_ << " installer [Setwright] Result[" << exitCode << "]";
    if (exitCode != 0) {
      SetResultCode(16);
      break;
    }
    key.Close();
    Report(303, 0, item.id_, 0);
  }
  key.Close();

  if (ResultCode() != 0) {
    Report(302, ResultCode(), lastId, 0);
    LOG_ERROR("Component") << "component install failed.";
    return false;
  }
  LOG_INFO("Component") << "component install success";
  return true;
}

// --- DoInstallComponent ---

void CInstallEngine::DoInstallComponent() {
  bool complete = false;
  try {
    SetRunState(kRunDownloading);
    Report(100, 0, 0, 0);
    const std::wstring path = DownloadComponentXml();
    if (path.empty()) {
      Report(101, ResultCode(), 0, 0);
      throw std::logic_error("stop install by download component xml error.");
    }
    Report(102, 0, 0, 0);
    if (!ParseComponentXml(path) || !GetNeedInstallComponentItems()) {
      Report(101, ResultCode(), 0, 0);
      throw std::logic_error("stop install by parse component xml error.");
    }
    Report(200, 0, 0, 0);
    if (!DownloadComponent()) throw std::logic_error("stop install by download error.");
    Report(204, 0, 0, 0);
    PostInstallingTimer(true);
    SetRunState(kRunInstalling);
    Report(300, 0, 0, 0);
    const bool installed = InstallComponent();
    PostInstallingTimer(false);
    if (!installed) throw std::logic_error("stop install by install error.");
    Report(304, 0, 0, 0);
    complete = true;
  } catch (const std::logic_error& e) {
    LOG_ERROR("Component") << e.what();
    // Stop reasons come with their code; a malformed catalogue number does not: it is a
    // catalogue error, never a "success" shown on the error page.
    if (ResultCode() == 0) SetResultCode(3);
  } catch (...) {
    SetResultCode(1);
    LOG_ERROR("component") << "unknown exception occurred at installing progress.";
  }
  if (complete) {
    SetRunState(kRunComplete);
    OnInstallComplete();
  } else {
    SetRunState(kRunFailed);
    OnInstallError();
  }
}

// --- FinishInstall ---

void CInstallEngine::FinishInstall() {
  ScopedComInit com;  // the shell link object needs COM on this thread
  LauncherArgs args;
  args.supplyId = params_.supplyId_;
  args.packageName = params_.packageName_;
  args.displayName = rezorev::Utf16ToAnsi(params_.gameName_);
  args.extraParams = params_.marketExternParams_;
  const std::wstring commandLine = BuildLauncherCommandLine(args);
  const std::wstring launcherFolder = localInfo_[7].installPath_;
  const std::wstring launcher = launcherFolder + L"\\Lumaport.exe";
  rezorev::RunProgram(launcher, commandLine, false);
  LOG_INFO("Window") << "start lumaport in command line: " << commandLine;

  if (CreateIconSelected()) {
    if (!params_.packageName_.empty()) {
      const std::wstring packageName = rezorev::Utf8ToUtf16(params_.packageName_);
      const std::wstring icon = WriteGameIcon(launcherFolder, packageName);
      CreateGameShortcut(packageName, params_.gameName_, rezorev::Utf8ToUtf16(params_.marketExternParams_), icon);
    } else {
      CreateBrandShortcut(launcher, params_.international_ == 1);
    }
  }
  CloseAfterFinish();
}

// --- default hooks ---

std::wstring CInstallEngine::TempDir() const { return GlobalConfig::Instance().TempDir(); }

std::wstring CInstallEngine::InstallDir() const { return GlobalConfig::Instance().InstallDir(); }

void CInstallEngine::Report(int32_t code, int32_t p5, int32_t p6, int32_t p7) { ReportEvent(code, p5, p6, p7); }
