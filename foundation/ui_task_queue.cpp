#include "foundation/ui_task_queue.h"

#include <utility>

namespace rezorev {

void UiTaskQueue::PostToUi(Task task) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    tasks_.push_back(std::move(task));
  }
  if (wake_) wake_();
}

bool UiTaskQueue::RunOne() {
  Task task;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (tasks_.empty()) return false;
    task = std::move(tasks_.front());
    tasks_.pop_front();
  }
  if (task) task();
  return true;
}

size_t UiTaskQueue::Size() const {
  std::lock_guard<std::mutex> guard(lock_);
  return tasks_.size();
}

}  // namespace rezorev
