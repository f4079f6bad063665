#include "app/param_block.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "digest/md5.h"
#include "foundation/text_convert.h"

namespace {

using rezorev::kLogError;
using rezorev::kLogInfo;
using rezorev::kLogWarn;

constexpr size_t kDigestOffset = 6;
constexpr size_t kDigestFieldSize = 33;

uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// Md5Hex's digits are ASCII; the header stores them as bytes.
std::string HexDigest(const void* data, size_t length) {
  std::wstring wide = Md5Hex(data, length);
  return std::string(wide.begin(), wide.end());
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

std::string FormatLocation(const void* address) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%08" PRIXPTR, reinterpret_cast<uintptr_t>(address));
  return text;
}

class GConfigLog : public ParamLog {
 public:
  void Write(rezorev::LogLevel level, const std::string& text) override {
    // Attributed to the configuration step that reads the parameters, whichever helper wrote it.
    rezorev::LogStatement(level, "GConfig", __FILE__, "GlobalConfig::InitParamsFromSelf", __LINE__)
        << rezorev::Utf8ToUtf16(text);
  }
};

}  // namespace

ParamBlockHeader DecodeParamBlockHeader(const uint8_t* bytes) {
  ParamBlockHeader header;
  header.magic = uint16_t(bytes[0] | (bytes[1] << 8));
  header.dataLength = LoadLe32(bytes + 2);
  const char* digest = reinterpret_cast<const char*>(bytes + kDigestOffset);
  const void* zero = std::memchr(digest, 0, kDigestFieldSize);
  header.digest.assign(digest, zero ? static_cast<const char*>(zero) - digest : kDigestFieldSize);
  return header;
}

std::array<uint8_t, kParamHeaderSize> MakeParamBlockHeader(const void* data, uint32_t length) {
  std::array<uint8_t, kParamHeaderSize> header{};
  header[0] = uint8_t(kParamBlockMagic);
  header[1] = uint8_t(kParamBlockMagic >> 8);
  for (int i = 0; i < 4; ++i) header[2 + i] = uint8_t(length >> (8 * i));
  std::string digest = HexDigest(data, length);
  std::memcpy(header.data() + kDigestOffset, digest.data(), digest.size());  // zero byte follows
  header[kParamHeaderSize - 1] = 1;
  return header;
}

std::vector<uint8_t> PadParamBlockData(std::string_view jsonText) {
  size_t length = jsonText.size() + 1;
  length += (8 - (length + kParamHeaderSize) % 8) % 8;
  std::vector<uint8_t> data(length, 0);
  std::memcpy(data.data(), jsonText.data(), jsonText.size());
  return data;
}

std::vector<uint8_t> BuildParamBlock(std::string_view jsonText) {
  std::vector<uint8_t> block = PadParamBlockData(jsonText);
  auto header = MakeParamBlockHeader(block.data(), uint32_t(block.size()));
  block.insert(block.end(), header.begin(), header.end());
  return block;
}

nlohmann::json ParseParamJson(std::string_view text) {
  // The parser itself is iterative; the callback only refuses what later recursion could not bear.
  auto limitDepth = [](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
    if ((event == nlohmann::json::parse_event_t::object_start ||
         event == nlohmann::json::parse_event_t::array_start) &&
        depth >= kMaxParamJsonDepth) {
      throw std::runtime_error("JSON nesting is deeper than " + std::to_string(kMaxParamJsonDepth) + " levels");
    }
    return true;
  };
  return nlohmann::json::parse(text.begin(), text.end(), limitDepth);
}

uint32_t MemoryReader::ReadAt(uint64_t offset, void* buffer, uint32_t length) {
  if (offset > size_ || length > size_ - offset) return kMemoryReaderPastEnd;
  if (length > 0) std::memcpy(buffer, bytes_ + offset, length);
  return 0;
}

ParamLog& ProgramParamLog() {
  static GConfigLog* log = new GConfigLog;  // used until exit, never destroyed
  return *log;
}

std::vector<FoundParamBlock> ScanParamBlocks(PositionedReader& reader, uint64_t fileSize, ParamLog& log) {
  std::vector<FoundParamBlock> found;  // end of the file first while scanning
  uint64_t position = fileSize;
  for (;;) {
    if (position < kParamHeaderSize) {
      log.Write(kLogWarn, "check magic failed or length is zero");
      break;
    }
    position -= kParamHeaderSize;
    uint8_t headerBytes[kParamHeaderSize] = {};
    if (uint32_t error = reader.ReadAt(position, headerBytes, kParamHeaderSize)) {
      log.Write(kLogError, "read extern data header failed. error code: " + std::to_string(error));
      break;
    }
    ParamBlockHeader header = DecodeParamBlockHeader(headerBytes);
    if (!header.PassesCheck()) {
      log.Write(kLogWarn, "check magic failed or length is zero");
      break;
    }
    // A foreign or corrupted trailer may claim any length: never allocate beyond the file.
    if (header.dataLength > position) {
      log.Write(kLogWarn, "extern data length " + std::to_string(header.dataLength) + " exceeds the " +
                              std::to_string(position) + " bytes before its header");
      break;
    }
    position -= header.dataLength;
    std::vector<uint8_t> data(header.dataLength, 0);
    if (uint32_t error = reader.ReadAt(position, data.data(), header.dataLength)) {
      log.Write(kLogWarn, "read extern data failed. error code: " + std::to_string(error));
      break;
    }
    std::string computed = HexDigest(data.data(), data.size());
    if (!EqualIgnoringAsciiCase(header.digest, computed)) {
      log.Write(kLogError, "extern data md5 is not equal to header md5. header md5: " + header.digest +
                               " data md5: " + computed);
      break;
    }
    const char* chars = reinterpret_cast<const char*>(data.data());
    const void* zero = std::memchr(chars, 0, data.size());
    std::string text(chars, zero ? static_cast<const char*>(zero) - chars : data.size());
    std::string location = FormatLocation(data.data());
    FoundParamBlock block;
    try {
      block.document = ParseParamJson(text);
    } catch (const std::exception& e) {
      log.Write(kLogInfo, "parse the inject data: " + location + " failed. exception: " + e.what());
      break;
    }
    log.Write(kLogInfo, "find the inject data: " + location);
    block.dataOffset = position;
    block.dataLength = header.dataLength;
    block.text = std::move(text);
    found.push_back(std::move(block));
  }
  std::reverse(found.begin(), found.end());
  return found;
}
