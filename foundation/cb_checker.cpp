#include "foundation/cb_checker.h"

#include <cstdio>
#include <cstdlib>

namespace rezorev {

namespace {

// Constant-initialised, so they are valid before any static constructor and after every static
// destructor: an object destroyed late in exit still finds its counter.
std::atomic<int32_t> cbCheckerLive{0};
std::atomic<int32_t> binderBaseLive{0};

void ReportLeaks(const char* className, int32_t live) {
  if (live <= 0) return;
  std::printf("*** Leaked objects detected: %ld instance(s) of class %s\n", static_cast<long>(live),
              className);
  std::fflush(stdout);
}

void ReportCBChecker() { ReportLeaks("CBChecker", cbCheckerLive.load()); }
void ReportBinderBase() { ReportLeaks("BinderBase", binderBaseLive.load()); }

}  // namespace

std::atomic<int32_t>& CBCheckerLiveCount() {
  // The report is registered once, by whichever thread gets here first.
  static const bool registered = (std::atexit(&ReportCBChecker), true);
  (void)registered;
  return cbCheckerLive;
}

std::atomic<int32_t>& BinderBaseLiveCount() {
  static const bool registered = (std::atexit(&ReportBinderBase), true);
  (void)registered;
  return binderBaseLive;
}

}  // namespace rezorev
