// The worker pool's blocking first-in-first-out queue of tasks.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace rezorev {

class TaskQueue {
 public:
  using Task = std::function<void()>;

  // Appends `task` and wakes one waiting Pop.
  void Push(Task task);

  // Waits for a task. Returns true with the front task moved into `out` (and removed); returns
  // false, leaving `out` untouched, as soon as the queue is stopped - whether or not tasks are
  // still queued.
  bool Pop(Task& out);

  // Stops the queue and wakes every waiting Pop. Queued tasks stay queued, and so does anything
  // pushed later, until Clear or the queue's end.
  void Shutdown();
  // Makes a stopped queue hand out tasks again (the pool starting anew).
  void Restart();
  // Destroys every queued task without running it.
  void Clear();

  size_t Size() const;

 private:
  mutable std::mutex lock_;
  std::condition_variable signal_;
  std::deque<Task> items_;
  bool stopped_ = false;
};

}  // namespace rezorev
