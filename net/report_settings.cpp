#include "net/report_settings.h"

#include <mutex>

namespace {

std::mutex& SettingsLock() {
  static std::mutex lock;
  return lock;
}

ReportSettings& Settings() {
  static ReportSettings* settings = new ReportSettings();  // lives for the process
  return *settings;
}

}  // namespace

void SetReportSettings(const ReportSettings& settings) {
  std::lock_guard<std::mutex> guard(SettingsLock());
  Settings() = settings;
}

ReportSettings GetReportSettings() {
  std::lock_guard<std::mutex> guard(SettingsLock());
  return Settings();
}
