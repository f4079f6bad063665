// The task queue and the worker pool: order, stopping with work queued or running, the process
// pool, and what a task that throws does.
#include "foundation/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace rezorev {
namespace {

using namespace std::chrono_literals;

// Waits (bounded) until `done` holds; true if it did.
template <typename Predicate>
bool WaitFor(Predicate done, std::chrono::milliseconds limit = 10s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

TEST(TaskQueueTest, PopsInOrderAndStopsHandingOutOnceShutDown) {
  TaskQueue queue;
  std::vector<int> order;
  for (int i = 1; i <= 3; ++i) queue.Push([&order, i] { order.push_back(i); });
  TaskQueue::Task task;
  ASSERT_TRUE(queue.Pop(task));
  task();

  queue.Shutdown();
  TaskQueue::Task untouched;
  EXPECT_FALSE(queue.Pop(untouched));  // items remain, but a stopped queue hands out nothing
  EXPECT_FALSE(untouched);
  EXPECT_EQ(queue.Size(), 2u);

  queue.Restart();
  while (queue.Size() > 0 && queue.Pop(task)) task();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(TaskQueueTest, ShutdownWakesEveryWaitingPop) {
  TaskQueue queue;
  std::atomic<int> returned{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      TaskQueue::Task task;
      if (!queue.Pop(task)) ++returned;
    });
  }
  std::this_thread::sleep_for(20ms);  // let them block (the test holds either way)
  queue.Shutdown();
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(returned.load(), 3);
}

TEST(WorkerPoolTest, FirstUseOfTheProcessPoolStartsOneThreadPerLogicalProcessor) {
  const int32_t callbacks = CBCheckerLiveCount().load();
  WorkerPool& pool = WorkerPool::Instance();
  unsigned processors = std::thread::hardware_concurrency();
  EXPECT_EQ(pool.ThreadCount(), processors == 0 ? 1u : processors);
  EXPECT_EQ(&pool, &WorkerPool::Instance());

  std::atomic<bool> ran{false};
  std::thread::id workerId;
  pool.Post(Bind([&] {
    workerId = std::this_thread::get_id();
    ran = true;
  }));
  ASSERT_TRUE(WaitFor([&] { return ran.load(); }));
  EXPECT_NE(workerId, std::this_thread::get_id());
  // The pool's copy of the callback goes on the worker once the task is done.
  EXPECT_TRUE(WaitFor([&] { return CBCheckerLiveCount().load() == callbacks; }));
}

TEST(WorkerPoolTest, OneThreadRunsTasksInPostingOrder) {
  WorkerPool pool;
  pool.Start(1);
  std::mutex lock;
  std::vector<int> order;
  for (int i = 0; i < 50; ++i) {
    pool.Post(Bind([&lock, &order, i] {
      std::lock_guard<std::mutex> guard(lock);
      order.push_back(i);
    }));
  }
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard<std::mutex> guard(lock);
    return order.size() == 50;
  }));
  pool.Stop();
  for (int i = 0; i < 50; ++i) EXPECT_EQ(order[i], i);
}

TEST(WorkerPoolTest, StopWaitsForTheRunningTaskAndDiscardsQueuedOnes) {
  const int32_t callbacks = CBCheckerLiveCount().load();
  const int32_t binders = BinderBaseLiveCount().load();
  std::atomic<bool> finished{false};
  std::atomic<int> queuedRuns{0};
  {
    WorkerPool pool;
    pool.Start(1);
    std::atomic<bool> started{false};
    // The running task outlasts the moment Stop clears the running flag, so the worker would be
    // free to take the next task if the pool did not stop it.
    pool.Post(Bind([&] {
      started = true;
      WaitFor([&] { return !pool.IsRunning(); });
      std::this_thread::sleep_for(50ms);
      finished = true;
    }));
    for (int i = 0; i < 2; ++i) pool.Post(Bind([&] { ++queuedRuns; }));
    ASSERT_TRUE(WaitFor([&] { return started.load(); }));

    pool.Stop();
    EXPECT_TRUE(finished.load());
    EXPECT_EQ(pool.ThreadCount(), 0u);
    EXPECT_EQ(pool.QueuedCount(), 2u);

    pool.Stop();  // a second Stop does nothing
    EXPECT_FALSE(pool.IsRunning());
    EXPECT_EQ(pool.QueuedCount(), 2u);
  }
  EXPECT_EQ(queuedRuns.load(), 0);
  // Destroying the pool destroyed the queued callbacks: nothing is left to report as leaked.
  EXPECT_EQ(CBCheckerLiveCount().load(), callbacks);
  EXPECT_EQ(BinderBaseLiveCount().load(), binders);
}

TEST(WorkerPoolTest, StartAfterStopRunsTheTasksLeftQueued) {
  WorkerPool pool;
  std::atomic<int> runs{0};
  pool.Post(Bind([&] { ++runs; }));  // not started yet: it waits
  EXPECT_EQ(pool.QueuedCount(), 1u);
  pool.Start(2);
  pool.Start(5);  // already running: no more threads
  EXPECT_EQ(pool.ThreadCount(), 2u);
  EXPECT_TRUE(WaitFor([&] { return runs.load() == 1; }));
  pool.Stop();
}

TEST(WorkerPoolDeathTest, TaskThatThrowsEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        WorkerPool pool;
        pool.Start(1);
        pool.Post(Bind([] { throw std::runtime_error("disk gone"); }));
        std::this_thread::sleep_for(10s);
        std::_Exit(0);  // not reached when the pool ends the process
      },
      ::testing::ExitedWithCode(WorkerPool::kTaskExceptionExitCode), "");
}

}  // namespace
}  // namespace rezorev
