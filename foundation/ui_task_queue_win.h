// The program's wake-up for a UiTaskQueue: the window message kUiTaskMessage posted to the window
// that owns the queue.
#pragma once

#include <windows.h>

#include "foundation/ui_task_queue.h"

namespace rezorev {

static_assert(kUiTaskMessage == WM_USER + 100, "the UI task message is WM_USER + 100");

// A wake-up that posts kUiTaskMessage with both parameters 0 to `window` (PostMessageW). A post
// the system refuses is not retried: its task waits for the next message.
UiTaskQueue::Wake PostMessageWake(HWND window);

}  // namespace rezorev
