// The process's worker pool: long work (the install run, sending run reports) never runs on the
// UI thread. Callbacks are posted into one first-in-first-out queue that one thread per logical
// processor drains.
//
// Lifecycle of the process pool (Instance):
//   created and started on first use  ->  stopped at the end of the run (Stop, from the UI
//   thread)  ->  torn down at exit (Stop again, which then does nothing, and the tasks still
//   queued are destroyed without running).
// The leak checker's counters are touched before the tear-down is registered, so their exit
// reports run after it: callbacks that were queued but never ran do not count as leaked.
//
// Tasks must catch their own failures. A task that lets an exception escape is a program fault:
// the worker logs the Error line "task ended with an exception: <what>" (tag "utils"), gives the
// log up to one second to reach its file, and ends the process at once with exit code 3 - no
// further task runs, no exit routines run and no message box appears.
//
// Lock order: the control lock before the queue's lock, in Start and Stop only.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/callback.h"
#include "foundation/task_queue.h"

namespace rezorev {

class WorkerPool {
 public:
  // Exit code of a process whose task let an exception escape.
  static constexpr int kTaskExceptionExitCode = 3;

  // The process's pool: created on the first call (several threads may race to make it; one
  // does) with one thread per logical processor, and torn down at process exit. Never freed.
  static WorkerPool& Instance();

  // A pool that is not running yet (tests; the process pool is Instance()).
  WorkerPool() = default;
  // Stops the pool (joining its threads); queued tasks are destroyed without running.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Starts `threads` worker threads (at least one) unless the pool is running already; a
  // stopped pool starts again and hands out the tasks still queued.
  void Start(unsigned threads);

  // Queues a copy of `task` at the back of the queue and returns at once. A task posted while
  // the pool is stopped waits in the queue (and is discarded at tear-down).
  void Post(const Callback<void()>& task);

  // Unless already stopped: clears the running flag, stops the queue and joins every thread.
  // Returns once the tasks that were running have finished; queued tasks never run. A second
  // call does nothing. Must not be called from a worker thread: joining itself is an error that
  // std::thread reports (std::system_error, resource deadlock).
  void Stop();

  bool IsRunning() const { return running_.load(); }
  size_t ThreadCount() const;
  size_t QueuedCount() const { return queue_.Size(); }

 private:
  void Run();
  // Stop, then destroy the queued tasks; the object stays usable (stopped).
  void TearDown();

  std::vector<std::thread> threads_;
  TaskQueue queue_;
  mutable std::mutex control_;
  std::atomic<bool> running_{false};
};

}  // namespace rezorev
