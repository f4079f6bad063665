#include "samples/sample_config.h"

#include <cstdlib>

namespace samples {
namespace {

std::string Trim(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return std::string();
  const size_t end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}

}  // namespace

bool ParseSampleConfigLines(const std::string& text, SampleConfig& config) {
  for (unsigned char c : text) {
    if (!(c == '\t' || c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7f))) return false;
  }
  SampleConfig parsed;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty()) continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    const std::string key = Trim(line.substr(0, equals));
    if (key.empty()) return false;
    parsed[key] = Trim(line.substr(equals + 1));
  }
  config = std::move(parsed);
  return true;
}

SampleConfig FindAppendedSampleConfig(const std::string& fileTail) {
  const std::string marker = std::string("\n") + kSampleConfigMarker + "\n";
  const size_t at = fileTail.rfind(marker);
  SampleConfig config;
  if (at == std::string::npos) return config;
  if (!ParseSampleConfigLines(fileTail.substr(at + marker.size()), config)) config.clear();
  return config;
}

int64_t SampleConfigNumber(const SampleConfig& config, const std::string& key, int64_t fallback) {
  const auto it = config.find(key);
  if (it == config.end() || it->second.empty()) return fallback;
  char* end = nullptr;
  const long long value = std::strtoll(it->second.c_str(), &end, 10);
  return *end == '\0' ? value : fallback;
}

std::string FormatSampleConfig(const SampleConfig& config) {
  std::string text;
  for (const auto& [key, value] : config) text += key + "=" + value + "\n";
  return text;
}

}  // namespace samples
