// Channel parameter blocks: the JSON documents stamped onto the end of the program file.
//
// One signed program file serves many distribution channels; each channel's parameters are
// appended to it as a chain of blocks. Each block is its data followed by a 40-byte header, and
// the last header ends at the last byte of the file:
//
//   ... | data 2 (L2 bytes) | header 2 | data 1 (L1 bytes) | header 1 |  <- end of file
//
// Header, 40 bytes, little-endian, fields not aligned:
//
//   offset  size  field
//        0     2  magic 0x0EF4 (bytes F4 0E)
//        2     4  data length L, never 0
//        6    33  MD5 of the L data bytes as 32 hexadecimal digits and a zero byte; compared
//                 without regard to letter case
//       39     1  not read; written as 1
//
// Data, L bytes: a UTF-8 JSON text followed by zero bytes. The text is the bytes up to the first
// zero byte, or all L bytes when there is none. The digest covers all L bytes, zeros included.
// Blocks written here carry at least one zero byte and are padded so that data and header
// together take a multiple of 8 bytes (in a signed file they lie inside the certificate table,
// whose entries are 8-byte aligned).
//
// The program walks the chain backwards from the end of its file until a header fails its
// check. A block nearer the end of the file is applied later, so its keys win.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "foundation/logger.h"

constexpr uint16_t kParamBlockMagic = 0x0EF4;
constexpr uint32_t kParamHeaderSize = 40;
// Channel documents are flat objects. Deeper nesting is refused so that no later operation on a
// parsed document (copying, comparing, printing: all recursive) can exhaust the stack.
constexpr int kMaxParamJsonDepth = 64;

struct ParamBlockHeader {
  uint16_t magic = 0;
  uint32_t dataLength = 0;
  std::string digest;  // the digest field up to its first zero byte, at most 33 bytes

  // The check that ends the scan: right magic and a length that is not zero.
  bool PassesCheck() const { return magic == kParamBlockMagic && dataLength != 0; }
};

// Decodes the 40 header bytes at `bytes`.
ParamBlockHeader DecodeParamBlockHeader(const uint8_t* bytes);

// The header for `length` data bytes at `data`: magic, length, lower-case digest, last byte 1.
std::array<uint8_t, kParamHeaderSize> MakeParamBlockHeader(const void* data, uint32_t length);

// The data of a block carrying `jsonText`: the text, one zero byte, and further zero bytes up to
// the next multiple of 8 of data plus header.
std::vector<uint8_t> PadParamBlockData(std::string_view jsonText);

// A whole block, data then header, ready to be appended to a file.
std::vector<uint8_t> BuildParamBlock(std::string_view jsonText);

// Parses the JSON text of one block strictly: one value, white space around it, nothing else.
// Throws nlohmann::json::parse_error for bad syntax or UTF-8, and a std::runtime_error for
// arrays or objects nested deeper than kMaxParamJsonDepth. Every exception derives from
// std::exception and carries a one-line message.
nlohmann::json ParseParamJson(std::string_view text);

// Random access to the bytes of a file.
class PositionedReader {
 public:
  virtual ~PositionedReader() = default;
  // Reads exactly `length` bytes starting at `offset` into `buffer`. Returns 0 when every byte
  // was read, otherwise a nonzero system error code (a short read counts as a failure). The
  // buffer's content is unspecified after a failure.
  virtual uint32_t ReadAt(uint64_t offset, void* buffer, uint32_t length) = 0;
};

// A reader over bytes in memory; the bytes must outlive it. Reads beyond the end fail with
// kMemoryReaderPastEnd (the Windows code for "reached the end of the file").
class MemoryReader : public PositionedReader {
 public:
  static constexpr uint32_t kMemoryReaderPastEnd = 38;
  MemoryReader(const void* bytes, size_t size) : bytes_(static_cast<const uint8_t*>(bytes)), size_(size) {}
  uint32_t ReadAt(uint64_t offset, void* buffer, uint32_t length) override;
  uint64_t Size() const { return size_; }

 private:
  const uint8_t* bytes_;
  size_t size_;
};

// Where the scan and the applying of channel parameters report. Texts are UTF-8.
class ParamLog {
 public:
  virtual ~ParamLog() = default;
  virtual void Write(rezorev::LogLevel level, const std::string& text) = 0;
};

// The program's log, module tag "GConfig".
ParamLog& ProgramParamLog();

// One block that passed every check, as found by ScanParamBlocks.
struct FoundParamBlock {
  uint64_t dataOffset = 0;   // file offset of the block's data
  uint32_t dataLength = 0;   // L
  std::string text;          // the JSON text, as stored
  nlohmann::json document;   // the parsed text
};

// Walks the block chain of a file of `fileSize` bytes backwards from its end, as the program
// does at start-up, and returns the blocks that passed, nearest to the start of the file first
// (the order in which they are applied). Every way the scan ends is one log line:
//
//   header read fails           Error "read extern data header failed. error code: <code>"
//   bad magic or zero length    Warn  "check magic failed or length is zero" (the normal end)
//   fewer than 40 bytes left    the same Warn line (no room for a header)
//   L beyond the bytes before   Warn  "extern data length <L> exceeds the <n> bytes before its
//   the header                        header" - nothing is allocated or read
//   data read fails             Warn  "read extern data failed. error code: <code>"
//   digest mismatch             Error "extern data md5 is not equal to header md5. header md5:
//                                      <header digits> data md5: <computed digits>"
//   JSON refused                Info  "parse the inject data: <location> failed. exception:
//                                      <message>"
//
// and each block found logs Info "find the inject data: <location>", where the location is the
// address of the block's data buffer written as "0x%08X". Blocks found before the scan ended
// are returned. Memory use is bounded by the file size: L is never trusted beyond it.
std::vector<FoundParamBlock> ScanParamBlocks(PositionedReader& reader, uint64_t fileSize, ParamLog& log);
