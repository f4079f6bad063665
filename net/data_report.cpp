#include "net/data_report.h"

#include <windows.h>

#include <ctime>
#include <utility>

#include "foundation/callback.h"
#include "foundation/logger.h"
#include "foundation/worker_pool.h"
#include "identity/machine_id.h"
#include "net/http_client.h"

#ifndef ORVIX_REPORT_URL
#error "ORVIX_REPORT_URL (the report server) comes from the build configuration"
#endif

namespace {

void ReadOsVersion(ReportFacts& facts) {
  using RtlGetNtVersionNumbersFunction = void(WINAPI*)(DWORD* major, DWORD* minor, DWORD* build);
  HMODULE ntdll = ::GetModuleHandleW(L"Ntdll.dll");  // mapped into every process; not owned
  if (ntdll == nullptr) return;
  auto getVersion = reinterpret_cast<RtlGetNtVersionNumbersFunction>(
      reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetNtVersionNumbers")));
  if (getVersion == nullptr) return;
  DWORD major = 0, minor = 0, build = 0;
  getVersion(&major, &minor, &build);
  facts.osMajor_ = major;
  facts.osMinor_ = minor;
  facts.osBuild_ = build & 0xFFFF;  // the upper bits flag free or checked builds
}

}  // namespace

DataReport& DataReport::Instance() {
  static DataReport* instance = new DataReport(ORVIX_REPORT_URL);  // used until the very end
  return *instance;
}

DataReport::DataReport(std::string serverUrl) : serverUrl_(std::move(serverUrl)) {
  ReadOsVersion(facts_);
  facts_.guid_ = XvMacID::MachineIdHex();
}

void DataReport::ReportEvent(int32_t code, int32_t p5, int32_t p6, int32_t p7) {
  Post(NumberedEventData(code, p5, p6, p7));
}

void DataReport::ReportClick(int32_t button) { Post(ClickEventData(button)); }

void DataReport::Post(nlohmann::json event) {
  rezorev::WorkerPool::Instance().Post(
      rezorev::Bind([this, event = std::move(event)] { ReportData(event); }));
}

bool DataReport::ReportData(nlohmann::json event) {
  bool sent = false;
  try {
    const uint32_t nonce = DrawReportNonce();
    const std::string sign = ReportSignature(nonce, facts_.guid_);
    CompleteReportData(event, facts_, static_cast<int64_t>(std::time(nullptr)));
    const std::string url = ReportUrl(serverUrl_, sign, nonce, SerializeReportData(event));
    sent = IsHttpSuccess(HttpPostText(url, std::string(), std::string()));
  } catch (const std::exception&) {
    // Out of memory, or no random source: the report is lost like any other failed one.
    sent = false;
  }
  if (!sent) LOG_ERROR("Report") << "report data error";
  return sent;
}

void ReportEvent(int32_t code, int32_t p5, int32_t p6, int32_t p7) {
  DataReport::Instance().ReportEvent(code, p5, p6, p7);
}

void ReportClick(int32_t button) { DataReport::Instance().ReportClick(button); }
