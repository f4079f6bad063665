// Object leak checker of the foundation library.
//
// The classes whose objects cross threads (the callback wrapper and the bound calls behind it)
// count their live instances. Each counted class has one process-wide counter: a signed 32-bit
// integer changed only by atomic increment and decrement, created with the value 0 on its first
// use, which also registers the class's exit report with atexit. At process exit the report
// writes, when the counter is above 0, one line to standard output:
//
//   *** Leaked objects detected: <count> instance(s) of class <class name>
//
// and flushes. A counter at 0 or below writes nothing, and a class that was never used registers
// no report at all. The program has no console, so in normal runs the line goes nowhere; test
// programs read it. Write failures are ignored.
#pragma once

#include <atomic>
#include <cstdint>

namespace rezorev {

// The live-instance counters, created (and their exit reports registered) on first use. Safe to
// call from any thread, also the first time.
std::atomic<int32_t>& CBCheckerLiveCount();   // reported as class "CBChecker"
std::atomic<int32_t>& BinderBaseLiveCount();  // reported as class "BinderBase"

// Base of the counted wrappers (rezorev::Callback): every constructor - default, copy and move
// alike - adds one to the "CBChecker" counter, the destructor takes one off. Assignment changes
// no count, since no object starts or ends.
class CBChecker {
 public:
  CBChecker() { CBCheckerLiveCount().fetch_add(1); }
  CBChecker(const CBChecker&) { CBCheckerLiveCount().fetch_add(1); }
  CBChecker(CBChecker&&) noexcept { CBCheckerLiveCount().fetch_add(1); }
  CBChecker& operator=(const CBChecker&) { return *this; }
  CBChecker& operator=(CBChecker&&) noexcept { return *this; }
  virtual ~CBChecker() { CBCheckerLiveCount().fetch_sub(1); }
};

}  // namespace rezorev
