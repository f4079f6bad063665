// The identity code on the real system: the profile file in the roaming application-data folder,
// the image's shared ".XvGuid" block across processes, the adapter class from the registry, and
// the system's own adapters, disks and processor.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "identity/compute_machine_id.h"
#include "identity/cpu_brand.h"
#include "identity/machine_id.h"
#include "identity/profile_scenarios.h"
#include "identity/profile_store_win.h"
#include "registry/registry_key.h"

namespace XvMacID {
namespace {

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

std::optional<std::string> ReadBytes(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Writes the profile and gives it a last-write time of its own: the profile-file API keeps a
// parsed copy of a file for as long as its last-write time does not change, and two writes in
// quick succession can carry the same time.
void WriteProfile(const std::wstring& path, const std::string& content) {
  static ULONGLONG sequence = 0;
  ::CreateDirectoryW(FolderOf(FolderOf(path)).c_str(), nullptr);
  ::CreateDirectoryW(FolderOf(path).c_str(), nullptr);
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(file, content.data(), DWORD(content.size()), &written, nullptr);
  ULARGE_INTEGER time;
  time.QuadPart = 132000000000000000ULL + (++sequence) * 10000000ULL;
  FILETIME stamp = {time.LowPart, time.HighPart};
  ::SetFileTime(file, nullptr, nullptr, &stamp);
  ::CloseHandle(file);
}

// Runs with the real profile file absent and puts back what was there afterwards.
class ProfileFile : public testing::Test {
 protected:
  void SetUp() override {
    path_ = ProfileFileStore::DefaultPath();
    ASSERT_FALSE(path_.empty());
    saved_ = ReadBytes(path_);
    companyExisted_ = ::GetFileAttributesW(FolderOf(FolderOf(path_)).c_str()) != INVALID_FILE_ATTRIBUTES;
    ::DeleteFileW(path_.c_str());
  }
  void TearDown() override {
    ::DeleteFileW(path_.c_str());
    if (saved_) {
      WriteProfile(path_, *saved_);
    } else if (!companyExisted_) {
      ::RemoveDirectoryW(FolderOf(path_).c_str());
      ::RemoveDirectoryW(FolderOf(FolderOf(path_)).c_str());
    }
  }

  std::wstring path_;
  std::optional<std::string> saved_;
  bool companyExisted_ = false;
};

TEST_F(ProfileFile, ScenariosAgainstTheRealFile) {
  // Start without the folders: the first run creates them.
  ::RemoveDirectoryW(FolderOf(path_).c_str());
  for (const ProfileScenario& scenario : ProfileScenarios()) {
    SCOPED_TRACE(scenario.name);
    ::DeleteFileW(path_.c_str());
    if (scenario.before) WriteProfile(path_, *scenario.before);
    uint8_t id[16];
    {
      ProfileFileStore store;
      ComputeMachineId(scenario.facts, store, id);
    }
    EXPECT_EQ(HexLower(id, 16), scenario.id);
    EXPECT_EQ(ReadBytes(path_), scenario.after ? scenario.after : scenario.before);
  }
}

// A machine where no adapter and no disk answers: the fixed MAC stands in.
TEST_F(ProfileFile, FixedMacIdentifierOnAMachineWithoutAdapterAndDisk) {
  class NoAdapters : public AdapterSource {
    bool ListAdapters(std::vector<AdapterRecord>*) const override { return false; }
    int Classify(const std::string&) const override { return 3; }
    std::vector<uint8_t> NetBiosAdapters() const override { return {}; }
    bool NetBiosAddress(uint8_t, uint8_t*) const override { return false; }
  } adapters;
  class NoDisks : public DiskSource {
    bool IsNtFamily() const override { return true; }
    bool SmartIdentify(int, AtaIdentifyReply*) const override { return false; }
    bool MiniportIdentify(int, int, AtaIdentifyReply*) const override { return false; }
    bool StorageDescriptor(int, std::vector<uint8_t>*) const override { return false; }
    bool PlainSmartIdentify(int, AtaIdentifyReply*) const override { return false; }
  } disks;
  ProfileFileStore store;
  uint8_t id[16];
  ComputeMachineId(GatherMachineFacts(CMacFetcher(adapters), CHddFetcher(disks), ReadCpuBrand), store, id);
  EXPECT_EQ(HexLower(id, 16), "6cbad22cdf655e9d49895421be36e118");
  std::string cpu;
  EXPECT_EQ(ReadBytes(path_),
            Block("6cbad22cdf655e9d49895421be36e118", Md5Of("1a2b3c4d5e6f"), "",
                  ReadCpuBrand(&cpu) ? Md5Of(cpu) : ""));
}

TEST_F(ProfileFile, RewriteLeavesNothingOfALongerOldFile) {
  MachineFacts facts;
  facts.mac = "00163e2a4b5c";
  WriteProfile(path_, "[Profile]\r\nconfig1=short\r\n; " + std::string(4000, 'x') + "\r\n");
  ProfileFileStore store;
  uint8_t id[16];
  ComputeMachineId(facts, store, id);
  EXPECT_EQ(ReadBytes(path_), Block(Md5Of(facts.mac), Md5Of(facts.mac), "", ""));
}

TEST_F(ProfileFile, OpenReportsExistingAndNewFiles) {
  {
    ProfileFileStore store;
    EXPECT_EQ(store.Open(), ProfileOpenResult::kCreated);
  }
  ProfileFileStore store;
  EXPECT_EQ(store.Open(), ProfileOpenResult::kExisting);
}

// ---- the image's shared block, across processes ----

std::wstring HelperPath() {
  wchar_t self[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return FolderOf(std::wstring(self, length)) + L"\\identity_test_helper.exe";
}

std::wstring TempPath(const std::wstring& name) {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + name;
}

struct HelperResult {
  unsigned before = 99, after = 99;
  std::string id;
};

HelperResult ParseResult(const std::wstring& file) {
  HelperResult result;
  const std::optional<std::string> text = ReadBytes(file);
  if (!text) return result;
  char id[64] = "";
  std::sscanf(text->c_str(), "before=%u id=%63s after=%u", &result.before, id, &result.after);
  result.id = id;
  if (result.id.rfind("after=", 0) == 0) {  // an empty identifier
    result.id.clear();
    std::sscanf(text->c_str(), "before=%u id= after=%u", &result.before, &result.after);
  }
  return result;
}

// A helper instance that keeps running (and so keeps the block alive) until released.
class HeldHelper {
 public:
  HeldHelper(const std::wstring& arguments, const std::wstring& resultFile) : resultFile_(resultFile) {
    static int count = 0;
    const std::wstring suffix = std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++count);
    const std::wstring readyName = L"Local\\orvix-identity-ready-" + suffix;
    const std::wstring releaseName = L"Local\\orvix-identity-release-" + suffix;
    ready_ = ::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    release_ = ::CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
    process_ = Start(L"\"" + HelperPath() + L"\" " + arguments.substr(0, arguments.find(L' ')) + L" \"" +
                     resultFile + L"\" " + readyName + L" " + releaseName +
                     arguments.substr(std::min(arguments.size(), arguments.find(L' '))));
  }
  ~HeldHelper() {
    ::SetEvent(release_);
    if (process_) ::WaitForSingleObject(process_, 30000);
    for (HANDLE h : {process_, ready_, release_}) {
      if (h) ::CloseHandle(h);
    }
    ::DeleteFileW(resultFile_.c_str());
  }
  bool WaitReady() { return process_ && ::WaitForSingleObject(ready_, 60000) == WAIT_OBJECT_0; }
  HelperResult Result() const { return ParseResult(resultFile_); }

  static HANDLE Start(std::wstring commandLine) {
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
      return nullptr;
    }
    ::CloseHandle(process.hThread);
    return process.hProcess;
  }

 private:
  std::wstring resultFile_;
  HANDLE ready_ = nullptr, release_ = nullptr, process_ = nullptr;
};

// Runs "get" in a new helper instance and waits for it.
HelperResult RunGet(const std::wstring& extra = L"") {
  const std::wstring resultFile = TempPath(L"orvix-identity-get.txt");
  ::DeleteFileW(resultFile.c_str());
  HANDLE process = HeldHelper::Start(L"\"" + HelperPath() + L"\" get \"" + resultFile + L"\"" + extra);
  EXPECT_NE(process, nullptr);
  if (process == nullptr) return {};
  EXPECT_EQ(::WaitForSingleObject(process, 120000), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  ::GetExitCodeProcess(process, &exitCode);
  EXPECT_EQ(exitCode, 0u);
  ::CloseHandle(process);
  HelperResult result = ParseResult(resultFile);
  ::DeleteFileW(resultFile.c_str());
  return result;
}

// The first instance computes from its own facts and keeps running; a second instance then finds
// the identifier ready in the shared block and returns it without touching the profile (which is
// gone meanwhile, and stays gone).
TEST_F(ProfileFile, SecondInstanceReusesTheIdentifierWithoutReadingTheProfile) {
  const std::string heldMac = "0a1b2c3d4e5f";
  HeldHelper first(L"hold " + std::wstring(heldMac.begin(), heldMac.end()),
                   TempPath(L"orvix-identity-hold.txt"));
  ASSERT_TRUE(first.WaitReady());
  const HelperResult held = first.Result();
  EXPECT_EQ(held.before, kIdNotComputed);
  EXPECT_EQ(held.after, kIdReady);
  EXPECT_EQ(held.id, Md5Of(heldMac));
  ASSERT_TRUE(ReadBytes(path_));
  ASSERT_TRUE(::DeleteFileW(path_.c_str()));

  const HelperResult second = RunGet();
  EXPECT_EQ(second.before, kIdReady);
  EXPECT_EQ(second.id, held.id);
  EXPECT_FALSE(ReadBytes(path_)) << "the second instance must not touch the profile";
}

// Once no instance keeps the block alive, a new instance starts from a fresh block.
TEST_F(ProfileFile, BlockLivesOnlyWhileAnInstanceRuns) {
  {
    HeldHelper first(L"hold 0a1b2c3d4e5f", TempPath(L"orvix-identity-hold.txt"));
    ASSERT_TRUE(first.WaitReady());
  }
  const HelperResult fresh = RunGet();
  EXPECT_EQ(fresh.before, kIdNotComputed);
  EXPECT_NE(fresh.id, Md5Of("0a1b2c3d4e5f"));
  EXPECT_EQ(fresh.id.size(), 32u);
  EXPECT_TRUE(ReadBytes(path_)) << "a computing instance remembers the identifier";
}

// An instance that died while computing leaves the state 255 in a block that another instance
// keeps alive: a later instance waits only for its bound, computes itself and publishes.
TEST_F(ProfileFile, AbandonedComputationIsTakenOverAfterTheWaitBound) {
  HeldHelper stale(L"stale", TempPath(L"orvix-identity-stale.txt"));
  ASSERT_TRUE(stale.WaitReady());
  EXPECT_EQ(stale.Result().after, kIdComputing);

  const HelperResult takeover = RunGet(L" 300");
  EXPECT_EQ(takeover.before, kIdComputing);
  EXPECT_EQ(takeover.after, kIdReady);
  EXPECT_EQ(takeover.id.size(), 32u);

  const HelperResult later = RunGet();
  EXPECT_EQ(later.before, kIdReady);
  EXPECT_EQ(later.id, takeover.id);
}

// The block is a section of the image of its own: 20 bytes, readable, writable, shared.
TEST(ImageSharedIdBlock, IsTheSharedXvGuidSection) {
  auto* image = reinterpret_cast<const uint8_t*>(::GetModuleHandleW(nullptr));
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  const IMAGE_SECTION_HEADER* found = nullptr;
  for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
    if (std::string(reinterpret_cast<const char*>(section[i].Name), 7) == ".XvGuid") found = &section[i];
  }
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->Misc.VirtualSize, 20u);
  const DWORD wanted = IMAGE_SCN_MEM_READ | IMAGE_SCN_MEM_WRITE | IMAGE_SCN_MEM_SHARED;
  EXPECT_EQ(found->Characteristics & wanted, wanted);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(&ImageSharedIdBlock()), image + found->VirtualAddress);
}

// ---- the adapter class from the network-class registry key ----

TEST(ClassifyAdapter, ReadsTheAdaptersConnectionKey) {
  const wchar_t* networkClass =
      L"System\\CurrentControlSet\\Control\\Network\\{4D36E972-E325-11CE-BFC1-08002BE10318}";
  const std::string adapter = "{0B5E1D2C-ORVIX-TEST-ADAPTER}";
  const std::wstring connectionKey =
      std::wstring(networkClass) + L"\\" + std::wstring(adapter.begin(), adapter.end()) + L"\\Connection";
  EXPECT_EQ(ClassifyAdapter(adapter), 3);  // no key

  struct Case {
    DWORD subType;
    const wchar_t* pnp;
    int adapterClass;
  };
  for (const Case& c : {Case{1, L"PCI\\VEN_8086&DEV_15B8", 0}, Case{2, L"PCI\\VEN_8086&DEV_24FD", 1},
                        Case{1, L"USB\\VID_0BDA&PID_8153", 2}, Case{6, L"PCI\\VEN_8086", 3}}) {
    rezorev::RegistryKey key;
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, connectionKey.c_str()), ERROR_SUCCESS);
    key.WriteDword(L"MediaSubType", c.subType);
    key.WriteString(L"PnpInstanceID", c.pnp);
    EXPECT_EQ(ClassifyAdapter(adapter), c.adapterClass) << c.subType;
  }
  rezorev::RegistryKey key;
  ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, connectionKey.c_str(), KEY_READ | KEY_WRITE), ERROR_SUCCESS);
  ::RegDeleteValueW(key.Handle(), L"PnpInstanceID");
  EXPECT_EQ(ClassifyAdapter(adapter), 3);  // a value that cannot be read

  rezorev::RegistryKey parent;
  ASSERT_EQ(parent.Open(HKEY_LOCAL_MACHINE, networkClass, KEY_READ | KEY_WRITE), ERROR_SUCCESS);
  EXPECT_EQ(parent.DeleteTree(std::wstring(adapter.begin(), adapter.end()).c_str()), ERROR_SUCCESS);
}

// ---- the system's own sources ----

TEST_F(ProfileFile, SystemSourcesRunAndGiveAStableIdentifier) {
  uint8_t mac[6];
  EXPECT_TRUE(CMacFetcher(SystemAdapterSource()).GetMac(mac));
  std::string serial, model, firmware, cpu;
  const bool disk = CHddFetcher(SystemDiskSource()).GetDiskIdentity(&serial, &model, &firmware);
  const bool hasCpu = ReadCpuBrand(&cpu);
  std::printf("system MAC: %s\n", MacText(mac).c_str());
  std::printf("system disk: %s\n", disk ? (serial + " | " + model + " | " + firmware).c_str() : "(none)");
  std::printf("processor brand: %s\n", hasCpu ? ("[" + cpu + "]").c_str() : "(none)");
  RecordProperty("mac", MacText(mac));
  RecordProperty("disk", disk ? serial + "|" + model + "|" + firmware : "");
  RecordProperty("cpu", cpu);

  const std::string id = MachineIdHex();
  std::printf("machine identifier: %s\n", id.c_str());
  EXPECT_EQ(id.size(), 32u);
  EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(MachineIdHex(), id);
  // A later run of the program (a fresh block) finds the same identifier through the profile.
  EXPECT_EQ(RunGet().id, id);
}

}  // namespace
}  // namespace XvMacID
