// Test program: sends a click report (button 4) and a numbered event (202, 20, 3, 0) through a
// DataReport on the server named by its argument, waits until both are done, and prints on
// standard output one JSON object: the machine identifier and operating-system version it sent
// with, and the path of its log file.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "foundation/logger.h"
#include "foundation/text_convert.h"
#include "foundation/worker_pool.h"
#include "net/data_report.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  DataReport report(rezorev::Utf16ToUtf8(argv[1]));
  report.SetClientVersion(5);
  report.SetSupplyId(1001);
  report.SetSourceId("probe-source");
  report.SetLanguage(L"zh_CN");

  report.ReportClick(4);
  report.ReportEvent(202, 20, 3, 0);

  // Once nothing is queued, every report has been taken by a worker; Stop waits for those.
  rezorev::WorkerPool& pool = rezorev::WorkerPool::Instance();
  while (pool.QueuedCount() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  pool.Stop();
  rezorev::Logger::Instance().WaitUntilWritten(std::chrono::seconds(5));

  const ReportFacts& facts = report.Facts();
  nlohmann::json out;
  out["guid"] = facts.guid_;
  out["sysMajor"] = facts.osMajor_;
  out["sysMinor"] = facts.osMinor_;
  out["sysBuild"] = facts.osBuild_;
  out["logFile"] = rezorev::Utf16ToUtf8(rezorev::Logger::Instance().FilePath());
  std::printf("%s\n", out.dump().c_str());
  std::fflush(stdout);
  return 0;
}
