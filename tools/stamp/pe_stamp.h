// Stamping channel parameters onto a Windows program file.
//
// The blocks (format in app/param_block.h) must end exactly at the end of the file, because the
// program finds them by walking backwards from there.
//
// A signed program keeps its Authenticode signature in the certificate table, which the security
// entry of the PE data directory locates by file offset and size; Authenticode hashes neither
// that entry nor the table. The blocks are therefore appended inside the table: the table must
// already be the last thing in the file, the entry's size grows by the bytes appended, and the
// WIN_CERTIFICATE record's own length stays as it is. The signature stays valid. Blocks keep the
// table's 8-byte alignment (see PadParamBlockData).
//
// The optional header's checksum covers the whole file, certificate table included, and is not
// part of the signed hash; when the file carries one it is recomputed after stamping.
//
// An unsigned program simply gets the blocks appended at its end; signing it afterwards would put
// the certificate table after them and hide them, so stamp after signing.
//
// The JSON text of each block is stored exactly as given (compact or pretty, a trailing newline
// kept), after the same checks the program applies plus a dry run of the typed reads, so that a
// block the program would reject is refused here instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Where a PE file keeps its signature, as far as stamping cares.
struct PeSignatureInfo {
  uint64_t checksumOffset = 0;       // file offset of the optional header's CheckSum
  uint64_t securityEntryOffset = 0;  // file offset of the security directory entry (offset, size)
  uint32_t tableOffset = 0;          // certificate table: file offset and size, 0 and 0 if unsigned
  uint32_t tableSize = 0;
  bool IsSigned() const { return tableOffset != 0 || tableSize != 0; }
};

// Reads the PE headers of `file`. Returns false with a message in `error` when the bytes are not
// a PE image (MZ and PE signatures, a PE32 or PE32+ optional header) or the headers run past the
// end of the file. A PE without a security entry counts as unsigned.
bool ReadPeSignatureInfo(const std::vector<uint8_t>& file, PeSignatureInfo& info, std::string& error);

// The PE checksum of `file`, computed with the CheckSum field at `checksumOffset` left out.
uint32_t ComputePeChecksum(const std::vector<uint8_t>& file, uint64_t checksumOffset);

// Checks one block's JSON text as the program will read it: it must parse strictly (the
// program's own parser and nesting limit), contain no zero byte, be an object, and every known
// key must have the type the program reads. Returns an empty string when it passes, otherwise
// the reason.
std::string CheckChannelJson(const std::string& text);

// Appends one block per text, in the order given (so the last one's keys win), to the program
// image in `file`, growing the certificate table of a signed image and refreshing a nonzero
// checksum. Every text is checked first;
// on any failure returns false with a message in `error` and leaves `file` unchanged. Refuses a
// non-PE file and a signed file whose certificate table does not end at the end of the file.
bool StampParamBlocks(std::vector<uint8_t>& file, const std::vector<std::string>& jsonTexts, std::string& error);
