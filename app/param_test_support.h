// Helpers for the channel parameter tests: a log that records its lines, readers that fail on
// purpose, and stamped files built in memory.
#pragma once

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "app/param_block.h"

struct LoggedLine {
  rezorev::LogLevel level;
  std::string text;
  bool operator==(const LoggedLine& other) const { return level == other.level && text == other.text; }
};

inline std::ostream& operator<<(std::ostream& out, const LoggedLine& line) {
  return out << "[" << line.level << "] " << line.text;
}

class RecordingLog : public ParamLog {
 public:
  void Write(rezorev::LogLevel level, const std::string& text) override { lines.push_back({level, text}); }
  std::vector<LoggedLine> lines;
};

// Bytes standing in for the program in front of the blocks.
inline std::vector<uint8_t> FakeProgram(size_t size = 300) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 7 + 3);
  if (size >= 2) bytes[0] = 'M', bytes[1] = 'Z';
  return bytes;
}

inline void Append(std::vector<uint8_t>& file, const std::vector<uint8_t>& bytes) {
  file.insert(file.end(), bytes.begin(), bytes.end());
}

// A block whose data is exactly `data` (no padding added) with a correct lower-case digest.
inline std::vector<uint8_t> RawBlock(const std::string& data) {
  std::vector<uint8_t> block(data.begin(), data.end());
  auto header = MakeParamBlockHeader(data.data(), uint32_t(data.size()));
  block.insert(block.end(), header.begin(), header.end());
  return block;
}

// The header of a block that ends at the end of `block`.
inline uint8_t* HeaderOf(std::vector<uint8_t>& block) { return block.data() + block.size() - kParamHeaderSize; }

// The line with its block location ("0x" and at least 8 upper-case hex digits) replaced by
// "<loc>", so that tests can compare whole lines.
inline std::string MaskLocation(std::string text) {
  size_t at = text.find("0x");
  if (at == std::string::npos) return text;
  size_t end = at + 2;
  while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) || (text[end] >= 'A' && text[end] <= 'F')))
    ++end;
  if (end - at - 2 < 8) return text;
  return text.replace(at, end - at, "<loc>");
}

inline std::vector<LoggedLine> MaskLocations(std::vector<LoggedLine> lines) {
  for (LoggedLine& line : lines) line.text = MaskLocation(line.text);
  return lines;
}
