#include "foundation/drive_probe.h"

#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <cstdint>

#include "foundation/drive_choice.h"
#include "foundation/scoped_handle.h"

namespace rezorev {
namespace {

class Win32DriveFacts : public DriveFacts {
 public:
  bool IsFixed(wchar_t letter) override { return ::GetDriveTypeW(Root(letter).c_str()) == DRIVE_FIXED; }
  bool IsUsb(wchar_t letter) override { return IsUsbDrive(letter); }
  bool CanWrite(wchar_t letter) override { return CanWriteDrive(letter); }
  bool FreeBytes(wchar_t letter, uint64_t* freeBytes) override {
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(Root(letter).c_str(), &available, nullptr, nullptr)) return false;
    *freeBytes = available.QuadPart;
    return true;
  }

 private:
  static std::wstring Root(wchar_t letter) { return std::wstring{letter, L':', L'\\'}; }
};

// Writes the tick count into the open file, reads it back from the start.
bool WriteAndReadBack(HANDLE file) {
  const DWORD written = ::GetTickCount();
  DWORD count = 0;
  if (!::WriteFile(file, &written, sizeof(written), &count, nullptr) || count != sizeof(written)) {
    return false;
  }
  if (::SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
  DWORD read = 0;
  count = 0;
  return ::ReadFile(file, &read, sizeof(read), &count, nullptr) && count == sizeof(read) &&
         read == written;
}

ScopedHandle OpenProbeFile(const std::wstring& path, DWORD disposition) {
  return ScopedHandle(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, disposition,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

}  // namespace

bool IsUsbDrive(wchar_t letter) {
  const wchar_t volume[] = {L'\\', L'\\', L'?', L'\\', letter, L':', L'\0'};
  ScopedHandle device(::CreateFileW(volume, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
  if (!device.IsValid()) return false;

  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = StorageDeviceProperty;  // 0
  query.QueryType = PropertyStandardQuery;   // 0
  // Room for the descriptor and the vendor, product and serial strings that follow it.
  union {
    STORAGE_DEVICE_DESCRIPTOR descriptor;
    BYTE bytes[552];
  } out{};
  out.descriptor.Size = sizeof(out.bytes);
  DWORD returned = 0;
  if (!::DeviceIoControl(device.Get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, 12, &out,
                         sizeof(out.bytes), &returned, nullptr)) {
    return false;
  }
  // A short answer that does not reach the bus type field says nothing about the bus.
  if (returned < offsetof(STORAGE_DEVICE_DESCRIPTOR, BusType) + sizeof(out.descriptor.BusType)) {
    return false;
  }
  return out.descriptor.BusType == BusTypeUsb;
}

bool CanWriteDrive(wchar_t letter) {
  const std::wstring root{letter, L':', L'\\'};
  // CREATE_NEW, not CREATE_ALWAYS: a user's own test.tmp at the root must not be truncated and
  // deleted by the probe. When one exists, probe with a fresh unique file instead.
  ScopedHandle file = OpenProbeFile(root + L"test.tmp", CREATE_NEW);
  if (!file.IsValid() && ::GetLastError() == ERROR_FILE_EXISTS) {
    wchar_t unique[MAX_PATH];
    if (::GetTempFileNameW(root.c_str(), L"tst", 0, unique) == 0) return false;
    file = OpenProbeFile(unique, OPEN_EXISTING);
    if (!file.IsValid()) {
      ::DeleteFileW(unique);
      return false;
    }
  }
  return file.IsValid() && WriteAndReadBack(file.Get());
}

std::wstring PickWorkDrive() {
  Win32DriveFacts facts;
  return ChooseWorkDrive(::GetLogicalDrives(), facts);
}

}  // namespace rezorev
