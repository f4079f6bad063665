#include "foundation/worker_pool.h"

#include <chrono>
#include <cstdlib>
#include <exception>
#include <system_error>
#include <utility>

#include "foundation/logger.h"

namespace rezorev {

namespace {

WorkerPool* processPool = nullptr;

[[noreturn]] void EndProcessAfterTaskException(const char* what) {
  LOG_ERROR("utils") << "task ended with an exception: " << what;
  Logger::Instance().WaitUntilWritten(std::chrono::seconds(1));
  std::_Exit(WorkerPool::kTaskExceptionExitCode);
}

void RunTask(const TaskQueue::Task& task) {
  try {
    task();
  } catch (const std::exception& e) {
    EndProcessAfterTaskException(e.what());
  } catch (...) {
    EndProcessAfterTaskException("(not a std::exception)");
  }
}

}  // namespace

WorkerPool& WorkerPool::Instance() {
  static const bool created = [] {
    // Touch the leak counters first: their exit reports are then registered before the pool's
    // tear-down and run after it, when the queued callbacks are gone.
    CBCheckerLiveCount();
    BinderBaseLiveCount();
    processPool = new WorkerPool();  // never freed: a late Post finds a stopped pool
    processPool->Start(std::thread::hardware_concurrency());
    std::atexit([] { processPool->TearDown(); });
    return true;
  }();
  (void)created;
  return *processPool;
}

WorkerPool::~WorkerPool() { Stop(); }

void WorkerPool::Start(unsigned threads) {
  std::lock_guard<std::mutex> guard(control_);
  if (running_.load()) return;
  running_.store(true);
  queue_.Restart();
  if (threads == 0) threads = 1;  // the system could not tell its processor count
  for (unsigned i = 0; i < threads; ++i) threads_.emplace_back(&WorkerPool::Run, this);
}

void WorkerPool::Post(const Callback<void()>& task) {
  queue_.Push([task] { task(); });
}

void WorkerPool::Stop() {
  std::lock_guard<std::mutex> guard(control_);
  if (!running_.load()) return;
  running_.store(false);
  queue_.Shutdown();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
}

size_t WorkerPool::ThreadCount() const {
  std::lock_guard<std::mutex> guard(control_);
  return threads_.size();
}

void WorkerPool::Run() {
  for (;;) {
    TaskQueue::Task task;
    if (queue_.Pop(task)) RunTask(task);
    if (!running_.load()) return;
  }
}

void WorkerPool::TearDown() {
  try {
    Stop();
  } catch (const std::system_error&) {
    // exit() was called on a worker thread, which cannot join itself. The process is ending;
    // the other threads go with it.
    return;
  }
  queue_.Clear();
}

}  // namespace rezorev
