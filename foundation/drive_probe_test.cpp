// The drive probes against real drives. Under Wine the test maps drives of its own into the
// prefix through the mount manager (what winecfg does: a dosdevices link plus the drive's type),
// takes Z: away for the duration, and puts everything back afterwards.
#include "foundation/drive_probe.h"

#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "foundation/scoped_handle.h"

namespace rezorev {
namespace {

// Wine's mount manager request that defines (or, with type DRIVE_NO_ROOT_DIR, removes) a drive
// letter backed by a Unix folder. The Unix path follows the structure, NUL-terminated.
constexpr DWORD kDefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
struct UnixDrive {
  ULONG size;
  ULONG type;
  ULONG fsType;
  DWORD serial;
  ULONGLONG unixDevice;
  WCHAR letter;
  USHORT mountPointOffset;
  USHORT deviceOffset;
  USHORT labelOffset;
};

bool RunningUnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool DefineDrive(wchar_t letter, UINT type, const std::string& unixPath) {
  std::vector<char> request(sizeof(UnixDrive) + unixPath.size() + 1, '\0');
  auto* drive = reinterpret_cast<UnixDrive*>(request.data());
  drive->size = static_cast<ULONG>(request.size());
  drive->type = type;
  drive->letter = static_cast<WCHAR>(towlower(letter));
  if (type != DRIVE_NO_ROOT_DIR) {
    drive->mountPointOffset = sizeof(UnixDrive);
    std::memcpy(request.data() + sizeof(UnixDrive), unixPath.c_str(), unixPath.size());
  }
  ScopedHandle manager(::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                     nullptr));
  DWORD returned = 0;
  return manager.IsValid() &&
         ::DeviceIoControl(manager.Get(), kDefineUnixDrive, request.data(),
                           static_cast<DWORD>(request.size()), nullptr, 0, &returned, nullptr);
}

std::string ReadAll(const std::wstring& file) {
  std::ifstream in(std::filesystem::path(file), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Entries of a folder listing other than "." and "..".
int CountEntries(const wchar_t* pattern) {
  WIN32_FIND_DATAW entry;
  ScopedFindHandle find(::FindFirstFileW(pattern, &entry));
  if (!find.IsValid()) return 0;
  int count = 0;
  do {
    if (std::wcscmp(entry.cFileName, L".") != 0 && std::wcscmp(entry.cFileName, L"..") != 0) ++count;
  } while (::FindNextFileW(find.Get(), &entry));
  return count;
}

uint64_t FreeBytes(const wchar_t* root) {
  ULARGE_INTEGER available{};
  ::GetDiskFreeSpaceExW(root, &available, nullptr, nullptr);
  return available.QuadPart;
}

// D: fixed, on a tmpfs folder; E: fixed, but /proc, where nobody can create files;
// F: a network drive and G: a removable one, both on a folder of the root file system.
class DriveProbeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!RunningUnderWine()) GTEST_SKIP() << "drive mapping needs Wine's mount manager";
    const DWORD present = ::GetLogicalDrives();
    for (wchar_t letter : {L'D', L'E', L'F', L'G'}) {
      if (present & (1u << (letter - L'A'))) GTEST_SKIP() << "drive letters D to G must be free";
    }
    ASSERT_TRUE(present & (1u << (L'Z' - L'A'))) << "the prefix has no Z: drive";
    zType_ = ::GetDriveTypeW(L"Z:\\");

    const std::string id = std::to_string(::GetCurrentProcessId());
    tmpfsFolder_ = "/dev/shm/orvix-drive-" + id;
    diskFolder_ = "/tmp/orvix-drive-" + id;
    for (const std::string& folder : {tmpfsFolder_, diskFolder_}) {
      ASSERT_TRUE(::CreateDirectoryW(WindowsPath(folder).c_str(), nullptr)) << folder;
    }
    ASSERT_TRUE(DefineDrive(L'D', DRIVE_FIXED, tmpfsFolder_));
    ASSERT_TRUE(DefineDrive(L'E', DRIVE_FIXED, "/proc"));
    ASSERT_TRUE(DefineDrive(L'F', DRIVE_REMOTE, diskFolder_));
    ASSERT_TRUE(DefineDrive(L'G', DRIVE_REMOVABLE, diskFolder_));
    ASSERT_EQ(::GetDriveTypeW(L"D:\\"), static_cast<UINT>(DRIVE_FIXED));
    ASSERT_EQ(::GetDriveTypeW(L"F:\\"), static_cast<UINT>(DRIVE_REMOTE));
    ASSERT_EQ(::GetDriveTypeW(L"G:\\"), static_cast<UINT>(DRIVE_REMOVABLE));
  }

  void TearDown() override {
    if (zType_ == 0) return;  // skipped before touching the prefix
    RestoreZ();
    for (wchar_t letter : {L'D', L'E', L'F', L'G'}) DefineDrive(letter, DRIVE_NO_ROOT_DIR, "");
    std::error_code ignored;
    for (const std::string& folder : {tmpfsFolder_, diskFolder_}) {
      if (!folder.empty()) std::filesystem::remove_all(WindowsPath(folder), ignored);
    }
  }

  void RemoveZ() { ASSERT_TRUE(DefineDrive(L'Z', DRIVE_NO_ROOT_DIR, "")); }
  void RestoreZ() {
    if (!(::GetLogicalDrives() & (1u << (L'Z' - L'A')))) {
      EXPECT_TRUE(DefineDrive(L'Z', zType_, "/")) << "could not restore Z:";
    }
  }

  static std::wstring WindowsPath(const std::string& unixPath) {
    std::wstring path = L"Z:";
    for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
  }

  UINT zType_ = 0;
  std::string tmpfsFolder_;
  std::string diskFolder_;
};

TEST_F(DriveProbeTest, WriteProbeLeavesNothingBehindAndSparesExistingFiles) {
  EXPECT_TRUE(CanWriteDrive(L'D'));
  EXPECT_FALSE(std::filesystem::exists(L"D:\\test.tmp"));
  EXPECT_FALSE(CanWriteDrive(L'E'));
  EXPECT_FALSE(CanWriteDrive(L'Q')) << "a missing drive";

  // A user's own test.tmp at the root survives the probe unchanged.
  std::ofstream(std::filesystem::path(L"D:\\test.tmp"), std::ios::binary) << "user data";
  EXPECT_TRUE(CanWriteDrive(L'D'));
  EXPECT_EQ(ReadAll(L"D:\\test.tmp"), "user data");
  std::error_code ignored;
  std::filesystem::remove(L"D:\\test.tmp", ignored);
  EXPECT_EQ(CountEntries(L"D:\\*"), 0)
      << "the probe left a file behind";
}

TEST_F(DriveProbeTest, FolderDrivesAreNotUsb) {
  EXPECT_FALSE(IsUsbDrive(L'D'));
  EXPECT_FALSE(IsUsbDrive(L'C'));
  EXPECT_FALSE(IsUsbDrive(L'Q')) << "a missing drive";
}

TEST_F(DriveProbeTest, PicksTheFixedWritableDriveWithMostFreeSpace) {
  // C: and Z: lie on the same file system: one of them, normally Z: as the later letter.
  const std::wstring withZ = PickWorkDrive();
  EXPECT_TRUE(withZ == L"Z:\\" || withZ == L"C:\\") << withZ;

  RemoveZ();
  const uint64_t onC = FreeBytes(L"C:\\");
  const uint64_t onD = FreeBytes(L"D:\\");
  const uint64_t margin = 1ull << 30;
  if (onC < onD + margin && onD < onC + margin) {
    GTEST_SKIP() << "C: and D: have about the same free space here";
  }
  // F: and G: share C:'s file system and would win the tie as later letters if they counted;
  // E: cannot be written.
  EXPECT_EQ(PickWorkDrive(), onC > onD ? L"C:\\" : L"D:\\");
  RestoreZ();
}

}  // namespace
}  // namespace rezorev
