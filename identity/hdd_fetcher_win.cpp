// The system's disk requests: SMART identify and the storage property query on
// \\.\PhysicalDriveN, the miniport identify on \\.\ScsiN:. Every failure simply yields nothing.
#include "identity/hdd_fetcher.h"

#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstring>
#include <string>

#include "foundation/scoped_handle.h"

namespace XvMacID {
namespace {

constexpr BYTE kAtaIdentify = 0xEC;
constexpr BYTE kAtapiIdentify = 0xA1;
// Miniport control code of the disk driver's identify request, and the time-out the request
// header carries.
constexpr ULONG kMiniportIdentify = 0x001B0501;
constexpr ULONG kMiniportTimeout = 10000;

constexpr DWORD kSendCmdInSize = sizeof(SENDCMDINPARAMS) - 1;
constexpr DWORD kSendCmdOutSize = sizeof(SENDCMDOUTPARAMS) - 1 + kAtaIdentifySize;

std::wstring DevicePath(const wchar_t* format, int number) {
  wchar_t path[32];
  swprintf(path, 32, format, number);
  return path;
}

rezorev::ScopedHandle OpenDevice(const std::wstring& path, DWORD access, DWORD share) {
  return rezorev::ScopedHandle(
      ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr));
}

// Sends SMART_RCV_DRIVE_DATA with `request` and copies the identify data out.
bool ReceiveIdentify(HANDLE device, SENDCMDINPARAMS* request, AtaIdentifyReply* reply) {
  uint8_t out[kSendCmdOutSize] = {};
  DWORD returned = 0;
  if (!::DeviceIoControl(device, SMART_RCV_DRIVE_DATA, request, kSendCmdInSize, out, sizeof out,
                         &returned, nullptr)) {
    return false;
  }
  reply->returnedSize = returned;
  std::memcpy(reply->data, out + offsetof(SENDCMDOUTPARAMS, bBuffer), kAtaIdentifySize);
  return true;
}

class SystemDisks : public DiskSource {
 public:
  bool IsNtFamily() const override {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"  // only the platform id is wanted
    if (!::GetVersionExW(&version)) return false;
#pragma GCC diagnostic pop
    return version.dwPlatformId == VER_PLATFORM_WIN32_NT;
  }

  bool SmartIdentify(int drive, AtaIdentifyReply* reply) const override {
    rezorev::ScopedHandle device = OpenDevice(DevicePath(L"\\\\.\\PhysicalDrive%d", drive),
                                              GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!device.IsValid()) return false;
    GETVERSIONINPARAMS version = {};
    DWORD returned = 0;
    if (!::DeviceIoControl(device.Get(), SMART_GET_VERSION, nullptr, 0, &version, sizeof version,
                           &returned, nullptr) ||
        version.bIDEDeviceMap == 0) {
      return false;
    }
    SENDCMDINPARAMS request = {};
    request.cBufferSize = kAtaIdentifySize;
    request.irDriveRegs.bSectorCountReg = 1;
    request.irDriveRegs.bSectorNumberReg = 1;
    request.irDriveRegs.bDriveHeadReg = (drive & 1) ? 0xB0 : 0xA0;
    request.irDriveRegs.bCommandReg =
        ((version.bIDEDeviceMap >> drive) & 0x10) ? kAtapiIdentify : kAtaIdentify;
    request.bDriveNumber = BYTE(drive);
    return ReceiveIdentify(device.Get(), &request, reply);
  }

  bool MiniportIdentify(int port, int target, AtaIdentifyReply* reply) const override {
    rezorev::ScopedHandle device = OpenDevice(DevicePath(L"\\\\.\\Scsi%d:", port),
                                              GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!device.IsValid()) return false;
    uint8_t buffer[sizeof(SRB_IO_CONTROL) + kSendCmdOutSize] = {};
    auto* header = reinterpret_cast<SRB_IO_CONTROL*>(buffer);
    header->HeaderLength = sizeof(SRB_IO_CONTROL);
    std::memcpy(header->Signature, "SCSIDISK", 8);
    header->Timeout = kMiniportTimeout;
    header->ControlCode = kMiniportIdentify;
    header->Length = kSendCmdOutSize;
    auto* request = reinterpret_cast<SENDCMDINPARAMS*>(buffer + sizeof(SRB_IO_CONTROL));
    request->irDriveRegs.bCommandReg = kAtaIdentify;
    request->bDriveNumber = BYTE(target);
    DWORD returned = 0;
    if (!::DeviceIoControl(device.Get(), IOCTL_SCSI_MINIPORT, buffer,
                           sizeof(SRB_IO_CONTROL) + kSendCmdInSize, buffer, sizeof buffer, &returned,
                           nullptr)) {
      return false;
    }
    reply->returnedSize = returned;
    std::memcpy(reply->data,
                buffer + sizeof(SRB_IO_CONTROL) + offsetof(SENDCMDOUTPARAMS, bBuffer), kAtaIdentifySize);
    return true;
  }

  bool StorageDescriptor(int drive, std::vector<uint8_t>* descriptor) const override {
    // No access rights are needed for the query, so it works without administrator rights too.
    rezorev::ScopedHandle device = OpenDevice(DevicePath(L"\\\\.\\PhysicalDrive%d", drive), 0,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!device.IsValid()) return false;
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    std::vector<uint8_t> buffer(4096);
    DWORD returned = 0;
    if (!::DeviceIoControl(device.Get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                           buffer.data(), DWORD(buffer.size()), &returned, nullptr)) {
      return false;
    }
    buffer.resize(returned);
    *descriptor = std::move(buffer);
    return true;
  }

  bool PlainSmartIdentify(int drive, AtaIdentifyReply* reply) const override {
    rezorev::ScopedHandle device =
        OpenDevice(DevicePath(L"\\\\.\\PhysicalDrive%d", drive), GENERIC_READ | GENERIC_WRITE,
                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!device.IsValid()) return false;
    SENDCMDINPARAMS request = {};
    request.cBufferSize = kAtaIdentifySize;
    request.irDriveRegs.bCommandReg = kAtaIdentify;
    return ReceiveIdentify(device.Get(), &request, reply);
  }
};

}  // namespace

const DiskSource& SystemDiskSource() {
  static const SystemDisks source;
  return source;
}

}  // namespace XvMacID
