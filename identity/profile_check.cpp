#include "identity/profile_check.h"

#include <cstring>

#include "digest/md5.h"

namespace XvMacID {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// 32 hex digits into 16 bytes; false (and `id` untouched) for anything else.
bool ParseId(const std::string& text, uint8_t id[16]) {
  if (text.size() != 32) return false;
  uint8_t bytes[16];
  for (size_t i = 0; i < 16; ++i) {
    const int high = HexValue(text[2 * i]);
    const int low = HexValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    bytes[i] = uint8_t(high << 4 | low);
  }
  std::memcpy(id, bytes, 16);
  return true;
}

}  // namespace

std::string HexLower(const uint8_t* bytes, size_t length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(length * 2);
  for (size_t i = 0; i < length; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

std::string Md5HexOf(const std::string& text) {
  Md5Context context;
  Md5Init(&context);
  Md5Update(&context, text.data(), text.size());
  uint8_t digest[16];
  Md5Final(&context, digest);
  return HexLower(digest, sizeof digest);
}

FactHashes HashFacts(const MachineFacts& facts) {
  FactHashes hashes;
  hashes.mac = Md5HexOf(facts.mac);
  if (facts.hasDisk) hashes.disk = Md5HexOf(facts.disk);
  if (facts.hasCpu) hashes.cpu = Md5HexOf(facts.cpu);
  return hashes;
}

ProfileCheck CheckProfile(const StoredProfile& stored, const MachineFacts& facts,
                          const FactHashes& hashes) {
  ProfileCheck result;
  const bool factsMatch =
      EqualIgnoringCase(stored.config4, hashes.cpu) &&
      (EqualIgnoringCase(stored.config2, hashes.mac) || EqualIgnoringCase(stored.config3, hashes.disk));

  // An identifier that is not 32 hex digits can never stand, whatever else matches.
  uint8_t id[16];
  if (stored.config1.size() != 32) return result;
  const bool idReadable = ParseId(stored.config1, id);

  const int storedCount = int(!stored.config2.empty()) + int(!stored.config3.empty()) +
                          int(!stored.config4.empty());
  const int presentCount = 1 + int(facts.hasDisk) + int(facts.hasCpu);

  // Profiles written before the processor hash was taken into the identifier: when the processor
  // is known now and the profile could not tell the machine apart by adapter and disk alone,
  // make a new identifier that includes the processor.
  const bool upgrade = stored.config5 == 0 && facts.hasCpu &&
                       !(!stored.config2.empty() && !stored.config3.empty()) && presentCount != 3 &&
                       presentCount >= storedCount;
  if (upgrade) {
    result.includeProcessor = true;
    return result;
  }
  if (factsMatch && idReadable && presentCount <= storedCount) {
    result.accepted = true;
    std::memcpy(result.id, id, 16);
  }
  return result;
}

void RegenerateId(const MachineFacts& facts, bool includeProcessor, uint8_t id[16]) {
  Md5Context context;
  Md5Init(&context);
  Md5Update(&context, facts.mac.data(), facts.mac.size());
  if (facts.hasDisk) Md5Update(&context, facts.disk.data(), facts.disk.size());
  if (includeProcessor && facts.hasCpu) Md5Update(&context, facts.cpu.data(), facts.cpu.size());
  Md5Final(&context, id);
}

std::string FormatProfileBlock(const uint8_t id[16], const FactHashes& hashes) {
  return "[Profile]\r\nconfig1=" + HexLower(id, 16) + "\r\nconfig2=" + hashes.mac +
         "\r\nconfig3=" + hashes.disk + "\r\nconfig4=" + hashes.cpu + "\r\nconfig5=1\r\n";
}

}  // namespace XvMacID
