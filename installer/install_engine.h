// CInstallEngine: the install engine of one window - the catalogue's items, the installed state
// of the enabled components, the install list, and the run's state and result code.
//
// The main window and the silent-mode window derive from it and add their behaviour through
// OnInstallComplete / OnInstallError; the engine itself needs no window, so a whole install run
// can be driven and tested without one.
//
// Threads: the probe runs on the UI thread while the window is built; the catalogue, the install
// list and the run belong to the one install worker thread. Run state and result code are read by
// the UI thread, hence atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/channel_params.h"
#include "installer/component_item.h"

namespace rezorev {
class XmlNode;
}

// Installed state of one component, as its registry key and key files show it.
struct ComponentLocalInfo {
  std::wstring version_;
  std::wstring installPath_;  // as read; replaced by the installation with the folder it used
  bool installed_ = false;
};

// Phase of a window's install run.
enum InstallRunState : int32_t {
  kRunIdle = 0,
  kRunDownloading = 1,
  kRunInstalling = 2,
  kRunComplete = 10,
  kRunFailed = 11,
};

// Reads one catalogue "Item" element. "id", "DL_ID" and "filesize" are unsigned 64-bit decimal
// numbers (leading white space and a sign accepted, trailing text ignored; the id keeps its low
// 32 bits); a missing, empty or non-numeric value throws std::invalid_argument and one beyond 64
// bits std::out_of_range (both logic errors that end an install run). A missing text attribute
// reads as "". installInX86/X64 are true only for exactly "1".
std::pair<int32_t, ComponentItem> ReadComponentItem(const rezorev::XmlNode& item);

// True when `path` stays below the folder it is appended to: relative, without a drive or stream
// (":") and without a component of dots and spaces alone (".." and the spellings Windows reads as
// it). "" is safe (the folder itself).
bool IsSafeCatalogueName(const std::wstring& path);

// The catalogue's decimal conversion, as above.
uint64_t ParseCatalogueNumber(const std::wstring& text);

class CInstallEngine {
 public:
  // `params` are the channel's parameters (supply id, enabled components); they must outlive the
  // engine. In the program they are the process configuration.
  explicit CInstallEngine(const ChannelParams& params);
  virtual ~CInstallEngine();
  CInstallEngine(const CInstallEngine&) = delete;
  CInstallEngine& operator=(const CInstallEngine&) = delete;

  // --- catalogue ---
  // Loads and parses the catalogue file. Empty path: Error "xml path is null!", result code 1,
  // false. Unreadable or malformed file: Error "load component xml failed.", result code 3, false.
  // Number conversions in items throw (see ReadComponentItem). Target build only.
  bool ParseComponentXml(const std::wstring& path);
  // The part of ParseComponentXml after loading: fills the common items from the root's "Item"
  // children (first per id wins) and the channel items from each "other"'s first "OtherConfig".
  void ParseCatalogueRoot(const rezorev::XmlNode& root);
  // Walks the "ChannelComponents" children of one "OtherConfig" and selects those whose
  // "ChannelRange" contains the supply id (ranges "low-high" first, then single numbers).
  void ParseChannelComponent(const rezorev::XmlNode& otherConfig);
  // Replaces the channel items wholesale by the "Item" children of `channelComponents` and logs
  // "get channel: <supply id> <child count> components.".
  void SelectChannelComponents(const rezorev::XmlNode& channelComponents);

  // --- installed state and install plan ---
  // Probes every enabled component in table order into the local info, logging each outcome.
  // Target build only.
  void GetNeedInstallComponentLocalInfo();
  // Fills `info` when the component's key has a readable InstallPath, every key file exists in
  // that folder and Version is readable; otherwise leaves it unchanged. Always returns 0.
  // Target build only.
  int32_t ProbeInstalledComponent(int32_t id, ComponentLocalInfo& info);
  // True when every probed component is installed (also when none is enabled).
  bool AllComponentsInstalled() const;
  // Rebuilds the install list: each enabled component in table order, the channel item before
  // the common one. A component the catalogue lists in neither, or whose item has no name, no
  // registry key, or a name or local add path that would leave its folder, is a catalogue error:
  // an Error line naming it, result code 3, false, and the list holds what came before it.
  bool GetNeedInstallComponentItems();

  // --- the install run (on the install worker thread), target build only ---
  // Fetches the catalogue from the primary, then the fallback URL into a fresh file under
  // <temp>\OrvixDownload\. Returns its path, or "" with result code 18 (no file) or 2 (both URLs).
  std::wstring DownloadComponentXml();
  // Downloads (or reuses by digest) and verifies every package of the install list, in order.
  // The first failure sets the result code (downloader error type, 18, or 20) and returns false.
  bool DownloadComponent();
  // Runs every package and the installer it unpacks, recording each install folder in the
  // component's key. The first failure sets the result code (14 to 17, 19) and returns false.
  bool InstallComponent();
  // One whole run: catalogue, plan, downloads, installation; events 100 to 304; run state 1, 2,
  // then 10 and OnInstallComplete, or 11 and OnInstallError. Never throws.
  void DoInstallComponent();
  // After a successful run, on the UI thread: starts the launcher with its command line and, when
  // the window's option asks for it, makes the desktop shortcut; then CloseAfterFinish.
  void FinishInstall();

  // --- the run's outcome; the windows add their behaviour ---
  virtual void OnInstallComplete();
  virtual void OnInstallError();

  // --- what the run needs from its surroundings; the windows and tests provide these ---
  // Folder for downloaded packages and the install folder, both ending with a backslash. By
  // default those of the process configuration.
  virtual std::wstring TempDir() const;
  virtual std::wstring InstallDir() const;
  // Hand-over to the UI thread: download percentage (0 restarts the bar), the installing-status
  // animation timer, the bar's final 100. Called on the worker thread; must not block.
  virtual void PostDownloadProgress(uint32_t percent);
  virtual void PostInstallingTimer(bool start);
  virtual void PostProgressComplete();
  // One run-report event; by default sent through the process's run report.
  virtual void Report(int32_t code, int32_t p5, int32_t p6, int32_t p7);
  // The window's "create_icon_opt" option (default: selected), and closing after finishing.
  virtual bool CreateIconSelected() const;
  virtual void CloseAfterFinish();

  const ChannelParams& Params() const { return params_; }
  const ComponentItemMap& CommonItems() const { return commonItems_; }
  const ComponentItemMap& ChannelItems() const { return channelItems_; }
  std::map<int32_t, ComponentLocalInfo>& LocalInfo() { return localInfo_; }
  const std::map<int32_t, ComponentLocalInfo>& LocalInfo() const { return localInfo_; }
  std::vector<ComponentItem>& InstallList() { return installList_; }
  int32_t RunState() const { return runState_; }
  int32_t ResultCode() const { return resultCode_; }

 protected:
  void SetRunState(int32_t state) { runState_ = state; }
  void SetResultCode(int32_t code) { resultCode_ = code; }

 private:
  const ChannelParams& params_;
  ComponentItemMap commonItems_;
  ComponentItemMap channelItems_;
  std::map<int32_t, ComponentLocalInfo> localInfo_;
  std::vector<ComponentItem> installList_;
  std::atomic<int32_t> runState_{kRunIdle};
  std::atomic<int32_t> resultCode_{0};
};
