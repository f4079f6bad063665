#include "identity/profile_scenarios.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "digest/md5.h"

namespace XvMacID {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

MachineFacts Facts(const std::string& mac, const char* disk, const char* cpu) {
  MachineFacts facts;
  facts.mac = mac;
  facts.hasDisk = disk != nullptr;
  facts.disk = disk ? disk : "";
  facts.hasCpu = cpu != nullptr;
  facts.cpu = cpu ? cpu : "";
  return facts;
}

}  // namespace

std::string Md5Of(const std::string& text) {
  const std::wstring wide = Md5Hex(text.data(), text.size());
  return std::string(wide.begin(), wide.end());  // hex digits are ASCII
}

std::string Block(const std::string& id, const std::string& mac, const std::string& disk,
                  const std::string& cpu) {
  return "[Profile]\r\nconfig1=" + id + "\r\nconfig2=" + mac + "\r\nconfig3=" + disk +
         "\r\nconfig4=" + cpu + "\r\nconfig5=1\r\n";
}

std::string IniValue(const std::string& text, const std::string& key) {
  std::istringstream lines(text);
  std::string line;
  bool inSection = false;
  while (std::getline(lines, line)) {
    line = Trim(line);
    if (!line.empty() && line.front() == '[') {
      inSection = Lower(line) == "[profile]";
      continue;
    }
    const size_t equals = line.find('=');
    if (inSection && equals != std::string::npos && Lower(Trim(line.substr(0, equals))) == Lower(key)) {
      return Trim(line.substr(equals + 1)).substr(0, 32);
    }
  }
  return "";
}

std::vector<ProfileScenario> ProfileScenarios() {
  const std::string macA = "00163e2a4b5c", macB = "f0debc9a7856";
  const char* disk = "WD-WCC4N1234567WDC WD10EZEX-08WN4A080.01A01";
  const char* cpu = "Intel(R) Core(TM) i5-8400 CPU @ 2.80GHz";
  const char* otherCpu = "        AMD Ryzen 5 3600 6-Core Processor";
  const std::string stored = "0123456789abcdef0123456789abcdef";  // an identifier from an earlier run
  const std::string fromMacAndDisk = Md5Of(macA + disk);
  const std::string fromMacAndCpu = Md5Of(macA + cpu);
  const std::string h2 = Md5Of(macA), h3 = Md5Of(disk), h4 = Md5Of(cpu);
  const std::string fixed = "6cbad22cdf655e9d49895421be36e118";  // MD5 of "1a2b3c4d5e6f"

  auto upper = [](std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return text;
  };

  return {
      {"first run without adapter or disk: fixed MAC", std::nullopt,
       Facts("1a2b3c4d5e6f", nullptr, nullptr), fixed, Block(fixed, Md5Of("1a2b3c4d5e6f"), "", "")},
      {"first run leaves the processor out of the identifier", std::nullopt, Facts(macA, disk, cpu),
       fromMacAndDisk, Block(fromMacAndDisk, h2, h3, h4)},
      {"an empty file counts as a failed check and is written", std::string(), Facts(macA, disk, cpu),
       fromMacAndDisk, Block(fromMacAndDisk, h2, h3, h4)},
      {"same machine keeps the stored identifier", Block(stored, h2, h3, h4), Facts(macA, disk, cpu),
       stored, std::nullopt},
      {"changed adapter, same disk and processor: kept", Block(stored, h2, h3, h4),
       Facts(macB, disk, cpu), stored, std::nullopt},
      {"changed disk, same adapter and processor: kept", Block(stored, h2, h3, h4),
       Facts(macA, "S2 other disk", cpu), stored, std::nullopt},
      {"hashes compared without regard to case", Block(upper(stored), upper(h2), upper(h3), upper(h4)),
       Facts(macA, disk, cpu), stored, std::nullopt},
      {"changed processor: regenerated from MAC and disk, rewritten", Block(stored, h2, h3, h4),
       Facts(macA, disk, otherCpu), fromMacAndDisk, Block(fromMacAndDisk, h2, h3, Md5Of(otherCpu))},
      {"adapter and disk both changed: regenerated", Block(stored, h2, h3, h4),
       Facts(macB, "S2 other disk", cpu), Md5Of(macB + "S2 other disk"),
       Block(Md5Of(macB + "S2 other disk"), Md5Of(macB), Md5Of("S2 other disk"), h4)},
      {"short config1 ignored and rewritten", Block(stored.substr(0, 31), h2, h3, h4),
       Facts(macA, disk, cpu), fromMacAndDisk, Block(fromMacAndDisk, h2, h3, h4)},
      {"config1 that is not hex ignored and rewritten", Block(std::string(32, 'z'), h2, h3, h4),
       Facts(macA, disk, cpu), fromMacAndDisk, Block(fromMacAndDisk, h2, h3, h4)},
      {"a disk that answers now but was not stored: regenerated", Block(stored, h2, "", h4),
       Facts(macA, disk, cpu), fromMacAndDisk, Block(fromMacAndDisk, h2, h3, h4)},
      {"old profile with only config2: upgraded to include the processor",
       "[Profile]\r\nconfig1=" + stored + "\r\nconfig2=" + h2 + "\r\n", Facts(macA, nullptr, cpu),
       fromMacAndCpu, Block(fromMacAndCpu, h2, "", h4)},
      {"upgraded profile is kept on the next run", Block(fromMacAndCpu, h2, "", h4),
       Facts(macA, nullptr, cpu), fromMacAndCpu, std::nullopt},
      {"old profile that stores adapter and disk is not upgraded",
       "[Profile]\r\nconfig1=" + stored + "\r\nconfig2=" + h2 + "\r\nconfig3=" + h3 + "\r\nconfig4=" +
           h4 + "\r\n",
       Facts(macA, disk, cpu), stored, std::nullopt},
  };
}

}  // namespace XvMacID
