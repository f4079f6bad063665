// The rule that picks the work drive: the drive that receives the package download folder and the
// install folder.
//
// Drives C to Z that are present are looked at in ascending order; A and B are never looked at.
// A drive qualifies when it is fixed, not attached through USB, accepts a test write at its root
// and answers a free-space query. Among qualifying drives the one with the most free space (bytes
// available to the user) wins; of several with equal free space the later letter wins. Without a
// qualifying drive the answer is "A:\".
//
// The questions are asked lazily, in the order above, and stop at the first "no", so a CD-ROM or
// network drive is never written to and a slow probe runs only on drives that could still win.
// The Win32 probes answer them in the program (drive_probe.h); tests answer from a table.
#pragma once

#include <cstdint>
#include <string>

namespace rezorev {

class DriveFacts {
 public:
  virtual ~DriveFacts() = default;
  virtual bool IsFixed(wchar_t letter) = 0;
  virtual bool IsUsb(wchar_t letter) = 0;
  virtual bool CanWrite(wchar_t letter) = 0;
  // Bytes free for the caller; false when the query fails.
  virtual bool FreeBytes(wchar_t letter, uint64_t* freeBytes) = 0;
};

// `presentDrives` is a bit mask of present drives, bit 0 for A (as GetLogicalDrives returns it).
// Returns a drive root of three characters, for example L"D:\\".
std::wstring ChooseWorkDrive(uint32_t presentDrives, DriveFacts& facts);

}  // namespace rezorev
