// The hand-over to a real UI thread: a plain window on a thread of its own with a message loop.
// Tasks queued before that thread pumps any message arrive as one message each and run in order.
#include "foundation/ui_task_queue_win.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <future>
#include <thread>
#include <vector>

namespace rezorev {
namespace {

struct UiThreadState {
  UiTaskQueue queue;
  int taskMessages = 0;
  std::vector<int> ran;
};

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<UiThreadState*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == kUiTaskMessage && state != nullptr) {
    ++state->taskMessages;
    state->queue.RunOne();
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

TEST(UiTaskQueueWinTest, TasksQueuedBeforeTheUiThreadRunsArriveAsOneMessageEachInOrder) {
  const wchar_t kClass[] = L"OrvixUiTaskQueueTest";
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = &TestWindowProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kClass;
  ASSERT_NE(::RegisterClassW(&windowClass), 0);

  UiThreadState state;
  std::promise<HWND> created;
  std::promise<void> mayPump;
  std::shared_future<void> pumpSignal = mayPump.get_future().share();
  std::thread uiThread([&] {
    HWND window = ::CreateWindowExW(0, kClass, L"ui task test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                    nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (window != nullptr) {
      ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
      state.queue.SetWake(PostMessageWake(window));
    }
    created.set_value(window);
    if (window == nullptr) return;
    pumpSignal.wait();
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
    ::DestroyWindow(window);
  });

  HWND window = created.get_future().get();
  if (window == nullptr) {
    uiThread.join();
    FAIL() << "no window: is DISPLAY set?";
  }
  // Queued from this (worker) thread while the UI thread is not pumping yet.
  for (int i = 1; i <= 3; ++i) {
    state.queue.PostToUi([&state, i] {
      state.ran.push_back(i);
      if (i == 3) ::PostQuitMessage(0);
    });
  }
  mayPump.set_value();
  uiThread.join();

  EXPECT_EQ(state.taskMessages, 3);
  EXPECT_EQ(state.ran, (std::vector<int>{1, 2, 3}));
  ::UnregisterClassW(kClass, ::GetModuleHandleW(nullptr));
}

}  // namespace
}  // namespace rezorev
