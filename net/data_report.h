// DataReport: the run report sender, one per process.
//
// Every noteworthy moment of a run is reported to the report server as one signed request (format
// in data_report_format.h). Callers hand over a small event; the sending is posted to the worker
// pool, so the caller never waits. A report that fails is logged (Error, tag "Report",
// "report data error") and dropped: nothing is retried or stored, and the run goes on.
//
// The facts common to all reports are settled at start-up: the operating-system version and the
// machine identifier by the constructor, the channel's values by GlobalConfig right after. They
// are written before the first report is posted and read without locking afterwards.
//
// Target build only (ntdll, the machine identity, WinHTTP).
#pragma once

#include <cstdint>
#include <string>

#include <windows.h>

#include <nlohmann/json.hpp>

#include "net/data_report_format.h"

// <windows.h> maps ReportEvent to the event-log function ReportEventW, which the program never
// uses. Including it here first, then dropping the macro, keeps the report's name intact in every
// file that includes this header, whatever it includes afterwards.
#undef ReportEvent

class DataReport {
 public:
  // The process's sender, created on the first call and never destroyed. It sends to the report
  // server the program was built for (the build's ORVIX_REPORT_URL). The first call is made during
  // start-up, on the main thread, before any other thread exists.
  static DataReport& Instance();

  // A sender to `serverUrl` (scheme, host and optional port, no trailing slash). Reads the
  // operating-system version with RtlGetNtVersionNumbers, looked up in ntdll at run time (left 0
  // when it is missing; only the low 16 bits of the build number are kept), and computes the
  // machine identifier. Channel values start at 0 and empty.
  explicit DataReport(std::string serverUrl);
  DataReport(const DataReport&) = delete;
  DataReport& operator=(const DataReport&) = delete;

  // Start-up only, before the first report: the channel's build id, supply id and source id
  // (UTF-8), and the interface language.
  void SetClientVersion(uint64_t buildId) { facts_.clientVersion_ = buildId; }
  void SetSupplyId(uint64_t supplyId) { facts_.supplyId_ = supplyId; }
  void SetSourceId(const std::string& sourceId) { facts_.sourceId_ = sourceId; }
  void SetLanguage(const std::wstring& language) { facts_.language_ = language; }

  const ReportFacts& Facts() const { return facts_; }

  // Any thread: posts the sending of a numbered event (its code and three parameters) or of a
  // button click to the worker pool and returns at once. This object must outlive the sending.
  void ReportEvent(int32_t code, int32_t p5, int32_t p6, int32_t p7);
  void ReportClick(int32_t button);

  // Worker thread: completes `event` with the common facts, signs it with a fresh nonce and POSTs
  // it with an empty body. Returns whether the answer counted as a success (IsHttpSuccess: a
  // response below 400 with a body); on failure logs "report data error". Never throws.
  bool ReportData(nlohmann::json event);

 private:
  void Post(nlohmann::json event);

  std::string serverUrl_;
  ReportFacts facts_;
};

// The process sender's events (DataReport::Instance()). Any thread.
void ReportEvent(int32_t code, int32_t p5 = 0, int32_t p6 = 0, int32_t p7 = 0);
void ReportClick(int32_t button);
