// The identity profile: the small INI file that keeps the machine identifier stable across runs,
// and the rules that decide whether a stored identifier still belongs to this machine.
//
// File format (one block, CR LF line ends, ANSI text):
//
//   [Profile]
//   config1=<identifier, 32 lower-case hex digits>
//   config2=<MD5 hex of the MAC text>
//   config3=<MD5 hex of the disk text, empty when no disk answered>
//   config4=<MD5 hex of the processor brand, empty when there was none>
//   config5=1                      (marks a profile written by the current scheme)
//
// A stored identifier is kept while the processor is the same and either the adapter or the disk
// is the same, and the profile knows about at least as many facts as the machine offers now.
// Pure logic: no file access here, so it builds and runs in the host build too.
#pragma once

#include <cstdint>
#include <string>

namespace XvMacID {

// 16 bytes as 32 lower-case hexadecimal digits, two per byte.
std::string HexLower(const uint8_t* bytes, size_t length);

// Hex text of the MD5 digest of `text`'s bytes.
std::string Md5HexOf(const std::string& text);

// The hardware facts of one computation, as texts. `mac` is always there (12 lower-case hex
// digits); the disk and processor texts only when the machine gave them.
struct MachineFacts {
  std::string mac;
  bool hasDisk = false;
  std::string disk;  // serial + model + firmware, no separators
  bool hasCpu = false;
  std::string cpu;   // processor brand string
};

// The digests of the facts as they are stored in the profile; an unavailable fact hashes to "".
struct FactHashes {
  std::string mac;
  std::string disk;
  std::string cpu;
};
FactHashes HashFacts(const MachineFacts& facts);

// Values read from an existing profile. Text values are as the profile-file API returns them
// into 33-character buffers, that is cut to at most 32 characters; config5 defaults to 0.
struct StoredProfile {
  std::string config1;
  std::string config2;
  std::string config3;
  std::string config4;
  int config5 = 0;
};

struct ProfileCheck {
  bool accepted = false;           // the stored identifier stands
  uint8_t id[16] = {};             // the stored identifier; valid only when accepted
  bool includeProcessor = false;   // regenerate with the processor text (old-profile upgrade)
};

// Decides whether `stored` still describes the machine whose facts are available now
// (`facts` says which are, `hashes` gives their digests):
//  - the facts match when config4 equals the processor hash and config2 equals the MAC hash or
//    config3 equals the disk hash, letter case ignored;
//  - a config1 that is not exactly 32 hexadecimal digits is never accepted;
//  - accepted when the facts match and the profile holds at least as many non-empty fact hashes
//    as facts are available now (the MAC always, the disk, the processor);
//  - a profile from before config5 existed (config5 0) that lacks the processor hash while the
//    processor is now known is never accepted: it asks for a regeneration that includes the
//    processor text (includeProcessor), unless both config2 and config3 are stored, all three
//    facts are available, or the profile stores more hashes than facts are available.
ProfileCheck CheckProfile(const StoredProfile& stored, const MachineFacts& facts,
                          const FactHashes& hashes);

// The identifier made from the facts: MD5 of the MAC text, then the disk text when a disk
// answered, then the processor text when `includeProcessor` and the processor is known.
void RegenerateId(const MachineFacts& facts, bool includeProcessor, uint8_t id[16]);

// The whole profile block as written to the file (see the format above).
std::string FormatProfileBlock(const uint8_t id[16], const FactHashes& hashes);

}  // namespace XvMacID
