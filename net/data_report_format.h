// The run report's request format.
//
// One report is one POST with an empty body; everything travels in the URL:
//
//   <server>/report/clientreport?retflag=json&sign=<sign>&nonce=<nonce>&data=<data>
//
//   nonce  five decimal digits, 10000..99999, drawn from the system's random source per report
//   sign   MD5 text (32 lower-case hex digits) of "<report key>|<nonce>|<guid>"; the data is not
//          signed, so two reports with the same nonce carry the same signature
//   data   the event object completed with the facts common to every report, serialised as
//          compact JSON (no blanks, members in ascending byte order of their names, non-ASCII
//          text as raw UTF-8) and appended unescaped; WinHTTP escapes the unsafe characters
//          when it opens the request
//
// A click report's data, for example:
//   {"client_version":5,"guid":"<32 hex>","icommon0":5,"ireserve0":4,"language":"zh_CN",
//    "strcommon0":"<source id>","supplyid":1001,"sys_build":19045,"sys_major":10,
//    "sys_minor":0,"time_t":1700000000,"type":2}
//
// Everything here is pure logic; DataReport (data_report.h) gathers the facts and sends.
#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

// The facts that every report carries about this run.
struct ReportFacts {
  uint64_t clientVersion_ = 0;  // the channel's build id
  uint64_t supplyId_ = 0;
  std::string guid_;            // the machine identifier, 32 lower-case hex digits
  std::string sourceId_;        // UTF-8
  std::wstring language_;       // the interface language, e.g. "zh_CN"
  uint32_t osMajor_ = 0;
  uint32_t osMinor_ = 0;
  uint32_t osBuild_ = 0;        // low 16 bits of the system's build number
};

// The fixed text that signs every report together with its nonce and the machine identifier.
extern const char kReportKey[];  // 23 ASCII characters
// Path and fixed query of the report endpoint, appended to the server's URL.
extern const char kReportPath[];  // "/report/clientreport?retflag=json"

// A numbered event: {"ireserve1": code, "ireserve5": p5, "ireserve6": p6, "ireserve7": p7}.
nlohmann::json NumberedEventData(int32_t code, int32_t p5, int32_t p6, int32_t p7);
// A button click: {"ireserve0": button}.
nlohmann::json ClickEventData(int32_t button);

// A uniformly distributed nonce from 10000 to 99999 (inclusive), from std::random_device.
uint32_t DrawReportNonce();

// MD5 text of kReportKey + "|" + nonce in decimal + "|" + guid.
std::string ReportSignature(uint32_t nonce, const std::string& guid);

// Adds the common members to `event` (an object) in this order, later ones replacing equal
// names: "time_t" (now, seconds since 1970 UTC), "guid", "client_version", "supplyid",
// "sys_major", "sys_minor", "sys_build", "language" (UTF-8), "type" (2), "strcommon0" (source
// id), "icommon0" (client version again).
void CompleteReportData(nlohmann::json& event, const ReportFacts& facts, int64_t now);

// Compact JSON, members in name order, UTF-8 unescaped. Text that is not valid UTF-8 is
// replaced (U+FFFD) rather than thrown about: a report never fails on its own data.
std::string SerializeReportData(const nlohmann::json& data);

// serverUrl + kReportPath + "&sign=" + sign + "&nonce=" + nonce + "&data=" + data.
std::string ReportUrl(const std::string& serverUrl, const std::string& sign, uint32_t nonce,
                      const std::string& data);
