// The UI task queue's own rules: one task per RunOne, in queue order, one wake-up per task.
#include "foundation/ui_task_queue.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace rezorev {
namespace {

TEST(UiTaskQueueTest, RunsOneTaskPerCallInQueueOrderAndWakesOncePerTask) {
  UiTaskQueue queue;
  int wakes = 0;
  std::vector<int> ran;
  queue.PostToUi([&] { ran.push_back(0); });  // before the wake-up is set: queued silently
  queue.SetWake([&] { ++wakes; });
  for (int i = 1; i <= 2; ++i) queue.PostToUi([&ran, i] { ran.push_back(i); });
  EXPECT_EQ(wakes, 2);

  ASSERT_TRUE(queue.RunOne());
  EXPECT_EQ(ran, (std::vector<int>{0}));
  ASSERT_TRUE(queue.RunOne());
  ASSERT_TRUE(queue.RunOne());
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
  EXPECT_FALSE(queue.RunOne());  // a message without a task is harmless
}

TEST(UiTaskQueueTest, TaskMayPostFromInsideAndAThrowingTaskLeavesTheQueue) {
  UiTaskQueue queue;
  int followUps = 0;
  // RunOne must not hold the lock while the task runs: this would deadlock otherwise.
  queue.PostToUi([&] { queue.PostToUi([&] { ++followUps; }); });
  queue.PostToUi([] { throw std::runtime_error("bad task"); });
  ASSERT_TRUE(queue.RunOne());
  EXPECT_EQ(queue.Size(), 2u);
  EXPECT_THROW(queue.RunOne(), std::runtime_error);
  EXPECT_EQ(queue.Size(), 1u);
  ASSERT_TRUE(queue.RunOne());
  EXPECT_EQ(followUps, 1);
}

}  // namespace
}  // namespace rezorev
