#include "identity/hdd_fetcher.h"

namespace XvMacID {
namespace {

// An identify reply counts only when the device returned more than the request's header.
constexpr uint32_t kMinimumIdentifyReply = 46;

// ATA identify word ranges (first word, word count).
constexpr size_t kSerialWord = 10, kSerialWords = 10;
constexpr size_t kFirmwareWord = 23, kFirmwareWords = 4;
constexpr size_t kModelWord = 27, kModelWords = 20;

bool IsPrintable(unsigned char c) { return c >= 0x20 && c <= 0x7e; }
bool IsAlnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int HexDigit(char c) {
  if (c == ' ') return 0;
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string AtaText(const uint8_t* data, size_t firstWord, size_t words) {
  std::string text;
  for (size_t w = firstWord; w < firstWord + words; ++w) {
    text += char(data[2 * w + 1]);
    text += char(data[2 * w]);
  }
  const size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

uint32_t ReadLe32(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
         uint32_t(bytes[at + 3]) << 24;
}

// Hex digit pairs decoded, or false when the text is not entirely such pairs of printable
// characters.
bool DecodeHexPairs(const std::string& raw, std::string* decoded) {
  if (raw.empty() || raw.size() % 2 != 0) return false;
  std::string out;
  for (size_t i = 0; i < raw.size(); i += 2) {
    const int high = HexDigit(raw[i]);
    const int low = HexDigit(raw[i + 1]);
    if (high < 0 || low < 0) return false;
    const unsigned char c = static_cast<unsigned char>(high << 4 | low);
    if (!IsPrintable(c)) return false;
    out += char(c);
  }
  *decoded = out;
  return true;
}

bool AnswersAta(const AtaIdentifyReply& reply) { return reply.returnedSize > kMinimumIdentifyReply; }

}  // namespace

DiskIdentity ParseAtaIdentify(const uint8_t data[kAtaIdentifySize]) {
  DiskIdentity identity;
  identity.serial = AtaText(data, kSerialWord, kSerialWords);
  identity.model = AtaText(data, kModelWord, kModelWords);
  identity.firmware = AtaText(data, kFirmwareWord, kFirmwareWords);
  return identity;
}

std::string DescriptorText(const std::vector<uint8_t>& descriptor, uint32_t offset, bool swapPairs) {
  if (offset == 0 || offset >= descriptor.size()) return std::string();
  std::string raw;
  for (size_t i = offset; i < descriptor.size() && descriptor[i] != 0; ++i) raw += char(descriptor[i]);

  std::string text;
  if (!DecodeHexPairs(raw, &text)) {
    for (char c : raw) {
      if (IsPrintable(static_cast<unsigned char>(c))) text += c;
    }
  }
  if (swapPairs) {
    for (size_t i = 0; i + 1 < text.size(); i += 2) std::swap(text[i], text[i + 1]);
  }
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

bool ParseStorageDescriptor(const std::vector<uint8_t>& descriptor, DiskIdentity* identity) {
  constexpr size_t kProductIdOffset = 16, kRevisionOffset = 20, kSerialOffset = 24;
  if (descriptor.size() < kSerialOffset + 4) return false;
  identity->model = DescriptorText(descriptor, ReadLe32(descriptor, kProductIdOffset), false);
  identity->firmware = DescriptorText(descriptor, ReadLe32(descriptor, kRevisionOffset), false);
  identity->serial = DescriptorText(descriptor, ReadLe32(descriptor, kSerialOffset), true);
  return true;
}

CHddFetcher::CHddFetcher(const DiskSource& source) : source_(source) {}
CHddFetcher::~CHddFetcher() = default;

bool CHddFetcher::ReadPhysicalDriveSmart(DiskIdentity* identity) const {
  for (int drive = 0; drive < kDiskDevices; ++drive) {
    AtaIdentifyReply reply;
    if (source_.SmartIdentify(drive, &reply) && AnswersAta(reply)) {
      *identity = ParseAtaIdentify(reply.data);
      return true;
    }
  }
  return false;
}

bool CHddFetcher::ReadScsiMiniport(DiskIdentity* identity) const {
  constexpr size_t kFirstModelByte = 2 * kModelWord;  // first byte of the model field
  for (int port = 0; port < kDiskDevices; ++port) {
    bool answered = false;
    for (int target = 0; target < 2; ++target) {
      AtaIdentifyReply reply;
      if (source_.MiniportIdentify(port, target, &reply) && reply.data[kFirstModelByte] != 0) {
        *identity = ParseAtaIdentify(reply.data);  // target 1 replaces target 0
        answered = true;
      }
    }
    if (answered) return true;
  }
  return false;
}

bool CHddFetcher::ReadStorageDescriptor(DiskIdentity* identity) const {
  for (int drive = 0; drive < kDiskDevices; ++drive) {
    std::vector<uint8_t> descriptor;
    DiskIdentity found;
    if (!source_.StorageDescriptor(drive, &descriptor) || !ParseStorageDescriptor(descriptor, &found)) {
      continue;
    }
    const std::string& serial = found.serial;
    const bool answers = (!serial.empty() && IsAlnum(static_cast<unsigned char>(serial[0]))) ||
                         (serial.size() > 19 && IsAlnum(static_cast<unsigned char>(serial[19])));
    if (answers) {
      *identity = found;
      return true;
    }
  }
  return false;
}

bool CHddFetcher::ReadPhysicalDrivePlainSmart(DiskIdentity* identity) const {
  for (int drive = 0; drive < kDiskDevices; ++drive) {
    AtaIdentifyReply reply;
    if (source_.PlainSmartIdentify(drive, &reply) && AnswersAta(reply)) {
      *identity = ParseAtaIdentify(reply.data);
      return true;
    }
  }
  return false;
}

bool CHddFetcher::GetDiskIdentity(std::string* serial, std::string* model, std::string* firmware) const {
  if (!source_.IsNtFamily()) return false;
  DiskIdentity identity;
  if (!ReadPhysicalDriveSmart(&identity) && !ReadScsiMiniport(&identity) &&
      !ReadStorageDescriptor(&identity) && !ReadPhysicalDrivePlainSmart(&identity)) {
    return false;
  }
  *serial = identity.serial;
  *model = identity.model;
  *firmware = identity.firmware;
  return true;
}

}  // namespace XvMacID
