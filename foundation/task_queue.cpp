#include "foundation/task_queue.h"

#include <utility>

namespace rezorev {

void TaskQueue::Push(Task task) {
  std::lock_guard<std::mutex> guard(lock_);
  items_.push_back(std::move(task));
  signal_.notify_one();
}

bool TaskQueue::Pop(Task& out) {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    if (stopped_) return false;
    if (!items_.empty()) {
      out = std::move(items_.front());
      items_.pop_front();
      return true;
    }
    signal_.wait(guard);
  }
}

void TaskQueue::Shutdown() {
  std::lock_guard<std::mutex> guard(lock_);
  stopped_ = true;
  signal_.notify_all();
}

void TaskQueue::Restart() {
  std::lock_guard<std::mutex> guard(lock_);
  stopped_ = false;
}

void TaskQueue::Clear() {
  std::deque<Task> discarded;
  {
    std::lock_guard<std::mutex> guard(lock_);
    discarded.swap(items_);
  }
  // The tasks are destroyed here, outside the lock: a task's captures may do anything when they
  // go, including posting.
}

size_t TaskQueue::Size() const {
  std::lock_guard<std::mutex> guard(lock_);
  return items_.size();
}

}  // namespace rezorev
