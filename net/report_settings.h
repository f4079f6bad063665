// The values that every run report carries about this installer: settled once by the
// configuration at start-up, read by the report sender for each event.
#pragma once

#include <cstdint>
#include <string>

struct ReportSettings {
  std::string sourceId_;   // UTF-8; the channel's source id
  uint64_t buildId_ = 0;
  uint64_t supplyId_ = 0;  // the channel's 32-bit supply id, widened
  std::wstring language_;  // the interface language, e.g. "zh_CN"
};

// Replaces the process-wide settings. Thread-safe.
void SetReportSettings(const ReportSettings& settings);

// A copy of the process-wide settings (all empty or zero until set). Thread-safe.
ReportSettings GetReportSettings();
