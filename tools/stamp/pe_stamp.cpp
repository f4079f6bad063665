#include "tools/stamp/pe_stamp.h"

#include <cstring>
#include <exception>

#include "app/channel_params.h"
#include "app/param_block.h"

namespace {

constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kSecurityDirectoryIndex = 4;

uint16_t Le16(const std::vector<uint8_t>& b, uint64_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }
uint32_t Le32(const std::vector<uint8_t>& b, uint64_t at) {
  return uint32_t(b[at]) | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) | (uint32_t(b[at + 3]) << 24);
}
void PutLe32(std::vector<uint8_t>& b, uint64_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(value >> (8 * i));
}

}  // namespace

bool ReadPeSignatureInfo(const std::vector<uint8_t>& file, PeSignatureInfo& info, std::string& error) {
  const uint64_t size = file.size();
  if (size < 0x40 || file[0] != 'M' || file[1] != 'Z') {
    error = "not a Windows program: no MZ header";
    return false;
  }
  const uint64_t pe = Le32(file, 0x3C);
  const uint64_t optional = pe + 24;  // after "PE\0\0" and the 20-byte file header
  if (optional + 2 > size || std::memcmp(file.data() + pe, "PE\0\0", 4) != 0) {
    error = "not a Windows program: no PE signature";
    return false;
  }
  const uint16_t optionalSize = Le16(file, pe + 4 + 16);
  const uint16_t magic = Le16(file, optional);
  uint64_t countOffset, directoriesOffset;
  if (magic == kPe32Magic) {
    countOffset = 92, directoriesOffset = 96;
  } else if (magic == kPe32PlusMagic) {
    countOffset = 108, directoriesOffset = 112;
  } else {
    error = "not a Windows program: unknown optional header magic";
    return false;
  }
  if (optionalSize < directoriesOffset || optional + directoriesOffset > size) {
    error = "not a Windows program: optional header is cut short";
    return false;
  }
  info = PeSignatureInfo{};
  info.checksumOffset = optional + 64;  // same place in PE32 and PE32+
  const uint32_t directories = Le32(file, optional + countOffset);
  const uint64_t entry = optional + directoriesOffset + 8 * kSecurityDirectoryIndex;
  if (directories <= kSecurityDirectoryIndex || optionalSize < entry + 8 - optional) return true;  // unsigned
  if (entry + 8 > size) {
    error = "not a Windows program: data directory runs past the end of the file";
    return false;
  }
  info.securityEntryOffset = entry;
  info.tableOffset = Le32(file, entry);
  info.tableSize = Le32(file, entry + 4);
  return true;
}

uint32_t ComputePeChecksum(const std::vector<uint8_t>& file, uint64_t checksumOffset) {
  uint32_t sum = 0;
  for (uint64_t at = 0; at < file.size(); at += 2) {
    if (at == checksumOffset || at == checksumOffset + 2) continue;
    uint32_t word = file[at] | (at + 1 < file.size() ? file[at + 1] << 8 : 0);
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return sum + uint32_t(file.size());
}

std::string CheckChannelJson(const std::string& text) {
  if (text.find('\0') != std::string::npos) return "the JSON text contains a zero byte";
  nlohmann::json document;
  try {
    document = ParseParamJson(text);
  } catch (const std::exception& e) {
    return std::string("the JSON text does not parse: ") + e.what();
  }
  if (!document.is_object()) return "the channel parameters must be a JSON object";
  try {
    ChannelParams scratch;
    ApplyChannelDocument(document, scratch);
  } catch (const std::exception& e) {
    return std::string("the program would stop reading this block: ") + e.what();
  }
  return {};
}

bool StampParamBlocks(std::vector<uint8_t>& file, const std::vector<std::string>& jsonTexts, std::string& error) {
  if (jsonTexts.empty()) {
    error = "no channel parameters given";
    return false;
  }
  PeSignatureInfo info;
  if (!ReadPeSignatureInfo(file, info, error)) return false;
  if (info.IsSigned() && uint64_t(info.tableOffset) + info.tableSize != file.size()) {
    error = "the certificate table (offset " + std::to_string(info.tableOffset) + ", " +
            std::to_string(info.tableSize) + " bytes) does not end at the end of the file (" +
            std::to_string(file.size()) + " bytes); blocks appended there would not be found";
    return false;
  }
  std::vector<uint8_t> blocks;
  for (size_t i = 0; i < jsonTexts.size(); ++i) {
    std::string problem = CheckChannelJson(jsonTexts[i]);
    if (!problem.empty()) {
      error = "block " + std::to_string(i + 1) + ": " + problem;
      return false;
    }
    std::vector<uint8_t> block = BuildParamBlock(jsonTexts[i]);
    blocks.insert(blocks.end(), block.begin(), block.end());
  }
  if (info.IsSigned()) {
    uint64_t grown = uint64_t(info.tableSize) + blocks.size();
    if (grown > UINT32_MAX) {
      error = "the certificate table would outgrow its 32-bit size";
      return false;
    }
    PutLe32(file, info.securityEntryOffset + 4, uint32_t(grown));
  }
  file.insert(file.end(), blocks.begin(), blocks.end());
  if (Le32(file, info.checksumOffset) != 0) PutLe32(file, info.checksumOffset, ComputePeChecksum(file, info.checksumOffset));
  return true;
}
