// Hand-over of work from worker threads to the UI thread.
//
// The main window owns a UiTaskQueue. A worker queues a task with PostToUi, which then wakes the
// UI thread - in the program by posting the window message kUiTaskMessage (1124) to the window,
// see ui_task_queue_win.h. The window procedure calls RunOne for each such message, so the UI
// thread runs one task per message, in the order the tasks were queued, interleaved with the
// window's other messages. A wake-up that the system refuses (a full message queue) leaves its
// task queued; it runs on a later message.
//
// Neither side waits for the other: PostToUi takes the queue's lock only to append, RunOne only to
// take the front task, and the task runs outside the lock.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace rezorev {

// The window message that asks the UI thread to run one queued task (WM_USER + 100).
constexpr unsigned kUiTaskMessage = 0x0400 + 100;

class UiTaskQueue {
 public:
  using Task = std::function<void()>;
  // Called on the posting thread after each task is queued, outside the lock.
  using Wake = std::function<void()>;

  UiTaskQueue() = default;
  UiTaskQueue(const UiTaskQueue&) = delete;
  UiTaskQueue& operator=(const UiTaskQueue&) = delete;

  // Sets the wake-up. Call it on the UI thread before any other thread can post (the window sets
  // it once its handle exists); until then tasks are queued without a wake-up.
  void SetWake(Wake wake) { wake_ = std::move(wake); }

  // Any thread. Appends `task`, then wakes the UI thread.
  void PostToUi(Task task);

  // UI thread. Takes the front task out and runs it outside the lock. Returns false, running
  // nothing, when the queue is empty. An exception from the task passes to the caller, after the
  // task has left the queue.
  bool RunOne();

  size_t Size() const;

 private:
  mutable std::mutex lock_;
  std::deque<Task> tasks_;
  Wake wake_;
};

}  // namespace rezorev
