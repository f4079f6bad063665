#include "foundation/ui_task_queue_win.h"

namespace rezorev {

UiTaskQueue::Wake PostMessageWake(HWND window) {
  return [window] { ::PostMessageW(window, kUiTaskMessage, 0, 0); };
}

}  // namespace rezorev
