// Callbacks and the leak checker's counters: what each construction, copy, move and destruction
// does to the live counts, and when the shared binder goes.
#include "foundation/callback.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

namespace rezorev {
namespace {

int32_t LiveCallbacks() { return CBCheckerLiveCount().load(); }
int32_t LiveBinders() { return BinderBaseLiveCount().load(); }

TEST(CallbackTest, CallRunsTheBoundCallWithItsArguments) {
  std::string seen;
  Callback<void()> withArguments =
      Bind([&seen](const std::string& text, int n) { seen = text + std::to_string(n); },
           std::string("event "), 202);
  withArguments();
  EXPECT_EQ(seen, "event 202");

  int calls = 0;
  Callback<void()> counting = Bind([&calls] { ++calls; });
  Callback<void()> copy = counting;
  counting();
  copy();
  EXPECT_EQ(calls, 2);  // both share the one bound call
}

TEST(CallbackTest, EmptyCallbackDoesNothingWhenCalled) {
  Callback<void()> empty;
  EXPECT_FALSE(empty);
  empty();

  Callback<void()> source = Bind([] {});
  Callback<void()> target = std::move(source);
  EXPECT_TRUE(target);
  EXPECT_FALSE(source);  // NOLINT(bugprone-use-after-move): moved-from is empty by contract
  source();
}

TEST(CallbackTest, CopiesAreCountedEachAndShareOneBinder) {
  const int32_t callbacks = LiveCallbacks();
  const int32_t binders = LiveBinders();
  {
    Callback<void()> original = Bind([] {});
    EXPECT_EQ(LiveCallbacks(), callbacks + 1);
    EXPECT_EQ(LiveBinders(), binders + 1);
    {
      Callback<void()> copy(original);
      Callback<void()> moved(std::move(copy));  // the moved-from object still exists
      EXPECT_EQ(LiveCallbacks(), callbacks + 3);
      EXPECT_EQ(LiveBinders(), binders + 1);
      Callback<void()> assigned;
      assigned = original;  // assignment starts no object
      EXPECT_EQ(LiveCallbacks(), callbacks + 4);
    }
    EXPECT_EQ(LiveCallbacks(), callbacks + 1);
    EXPECT_EQ(LiveBinders(), binders + 1);
  }
  EXPECT_EQ(LiveCallbacks(), callbacks);
  EXPECT_EQ(LiveBinders(), binders);
}

TEST(CallbackTest, LastCopyDestroysTheBinderAndItsCaptures) {
  auto capture = std::make_shared<int>(7);
  std::weak_ptr<int> watch = capture;
  auto first = std::make_unique<Callback<void()>>(Bind([capture] { (void)capture; }));
  capture.reset();
  auto second = std::make_unique<Callback<void()>>(*first);
  first.reset();
  EXPECT_FALSE(watch.expired());  // still shared by the copy
  second.reset();
  EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace rezorev
