// The work drive of this machine and the probes that decide it (the rule is in drive_choice.h).
#pragma once

#include <string>

namespace rezorev {

// The drive root ("D:\") that receives the package download and install folders: the fixed,
// non-USB, writable drive from C to Z with the most free space, the later letter on a tie.
// Never fails: "A:\" when no drive qualifies.
std::wstring PickWorkDrive();

// True if the storage device behind drive `letter` reports the USB bus. False when the volume
// cannot be opened or does not answer the storage property query.
bool IsUsbDrive(wchar_t letter);

// True if a four-byte write and read-back of a temporary file at the drive's root succeed. The
// file ("test.tmp", or a unique name when a file of that name is already there, which is left
// untouched) is deleted when closed, on every path.
bool CanWriteDrive(wchar_t letter);

}  // namespace rezorev
