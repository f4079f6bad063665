// CHddFetcher: the identity of the first disk that answers: serial number, model and firmware
// revision.
//
// Four methods are tried in order, each over device numbers 0 to 15, stopping at the first device
// that answers; the first method that answers gives the result:
//  1. SMART identify through \\.\PhysicalDriveN (drive number and drive/head register set up);
//  2. SCSI miniport identify through \\.\ScsiN: (targets 0 and 1; target 1 wins when both answer);
//  3. the storage property query's device descriptor through \\.\PhysicalDriveN;
//  4. SMART identify through \\.\PhysicalDriveN opened with delete sharing, plain identify.
// The device requests sit behind DiskSource; the real one is SystemDiskSource() (Windows). What
// comes back is parsed here.
//
// ATA identify data (512 bytes, little-endian 16-bit words): words 10-19 serial number, 23-26
// firmware revision, 27-46 model; each word holds two characters, the high byte first.
//
// Storage device descriptor: the 32-bit little-endian offsets of the product id (at byte 16),
// product revision (20) and serial number (24) point at zero-terminated texts in the descriptor;
// offset 0 means "none". Some drivers give the serial number as hexadecimal digit pairs, and
// with each pair of characters swapped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace XvMacID {

constexpr int kDiskDevices = 16;
constexpr size_t kAtaIdentifySize = 512;

struct DiskIdentity {
  std::string serial;
  std::string model;
  std::string firmware;
};

// What an identify request returned: the size the device call reported and the identify data
// (zero-filled where nothing came back).
struct AtaIdentifyReply {
  uint32_t returnedSize = 0;
  uint8_t data[kAtaIdentifySize] = {};
};

class DiskSource {
 public:
  virtual ~DiskSource() = default;
  // Disk requests exist only on Windows NT-family systems.
  virtual bool IsNtFamily() const = 0;
  // Method 1 on drive `drive`: false when the device cannot be opened, reports no SMART device
  // map (0) or the request fails.
  virtual bool SmartIdentify(int drive, AtaIdentifyReply* reply) const = 0;
  // Method 2 on SCSI port `port`, target drive `target` (0 or 1).
  virtual bool MiniportIdentify(int port, int target, AtaIdentifyReply* reply) const = 0;
  // Method 3: the raw storage device descriptor of drive `drive`.
  virtual bool StorageDescriptor(int drive, std::vector<uint8_t>* descriptor) const = 0;
  // Method 4 on drive `drive`.
  virtual bool PlainSmartIdentify(int drive, AtaIdentifyReply* reply) const = 0;
};

// The texts of ATA identify data, each cut at its first zero byte, trailing spaces removed.
DiskIdentity ParseAtaIdentify(const uint8_t data[kAtaIdentifySize]);

// One text of a storage device descriptor, from `offset` to its terminating zero or the end of
// the descriptor; offsets outside the descriptor give "". Text made entirely of hexadecimal digit
// pairs (a space counts as 0) that decode to printable characters is decoded; otherwise its
// printable characters are kept. With `swapPairs` each pair of characters is then swapped (an odd
// last character stays). Spaces are trimmed at both ends.
std::string DescriptorText(const std::vector<uint8_t>& descriptor, uint32_t offset, bool swapPairs);

// Product id as model, product revision as firmware, serial number (pairs swapped). False when the
// descriptor is too short to hold the offsets.
bool ParseStorageDescriptor(const std::vector<uint8_t>& descriptor, DiskIdentity* identity);

class CHddFetcher {
 public:
  explicit CHddFetcher(const DiskSource& source);
  virtual ~CHddFetcher();

  // True when one of the four methods found an answering disk; the outputs are only written then.
  bool GetDiskIdentity(std::string* serial, std::string* model, std::string* firmware) const;

  bool ReadPhysicalDriveSmart(DiskIdentity* identity) const;      // method 1
  bool ReadScsiMiniport(DiskIdentity* identity) const;            // method 2
  bool ReadStorageDescriptor(DiskIdentity* identity) const;       // method 3
  bool ReadPhysicalDrivePlainSmart(DiskIdentity* identity) const; // method 4

 private:
  const DiskSource& source_;
};

#ifdef _WIN32
const DiskSource& SystemDiskSource();
#endif

}  // namespace XvMacID
