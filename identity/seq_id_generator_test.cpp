#include "identity/seq_id_generator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace XvMacID {
namespace {

using std::chrono::milliseconds;

// A computation that counts its calls and fills the identifier with `fill`.
struct CountingCompute {
  std::atomic<int> calls{0};
  uint8_t fill;
  milliseconds delay{0};
  CSeqIDGenerator::ComputeFunction Function() {
    return [this](uint8_t id[16]) {
      ++calls;
      std::this_thread::sleep_for(delay);
      std::memset(id, fill, 16);
    };
  }
};

bool Filled(const uint8_t id[16], uint8_t value) {
  for (int i = 0; i < 16; ++i) {
    if (id[i] != value) return false;
  }
  return true;
}

TEST(CSeqIDGenerator, ComputesOnceForAllCallersOfABlock) {
  SharedIdBlock block = {{0}, {kIdNotComputed}};
  CountingCompute compute{{0}, 0x5a, milliseconds(50)};
  std::vector<std::thread> threads;
  std::atomic<int> good{0};
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&] {
      CSeqIDGenerator generator(&block, compute.Function());  // one per caller, like processes
      uint8_t id[16] = {};
      if (generator.GetId(id) && Filled(id, 0x5a)) ++good;
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(compute.calls, 1);
  EXPECT_EQ(good, 8);
  EXPECT_EQ(block.state, kIdReady);
  EXPECT_TRUE(Filled(block.id, 0x5a));
}

TEST(CSeqIDGenerator, ReadyBlockIsReturnedWithoutComputing) {
  SharedIdBlock block = {{0}, {kIdReady}};
  std::memset(block.id, 0x11, 16);
  CountingCompute compute{{0}, 0x22};
  CSeqIDGenerator generator(&block, compute.Function());
  uint8_t id[16];
  EXPECT_TRUE(generator.GetId(id));
  EXPECT_TRUE(Filled(id, 0x11));
  EXPECT_EQ(compute.calls, 0);
}

// A computing instance that died leaves 255 behind: the waiter gives up after its bound,
// computes itself and publishes, so later callers need not wait again.
TEST(CSeqIDGenerator, AbandonedComputationIsTakenOverAfterTheWaitBound) {
  SharedIdBlock block = {{0}, {kIdComputing}};
  CountingCompute compute{{0}, 0x33};
  CSeqIDGenerator generator(&block, compute.Function(), milliseconds(50));
  uint8_t id[16];
  EXPECT_TRUE(generator.GetId(id));
  EXPECT_TRUE(Filled(id, 0x33));
  EXPECT_EQ(block.state, kIdReady);
  EXPECT_TRUE(Filled(block.id, 0x33));

  CSeqIDGenerator later(&block, compute.Function(), milliseconds(50));
  EXPECT_TRUE(later.GetId(id));
  EXPECT_EQ(compute.calls, 1);
}

// Died while publishing: the block stays as it is; each caller computes for itself.
TEST(CSeqIDGenerator, AbandonedPublishingLeavesTheBlockAlone) {
  SharedIdBlock block = {{0}, {kIdPublishing}};
  CountingCompute compute{{0}, 0x44};
  CSeqIDGenerator generator(&block, compute.Function(), milliseconds(20));
  uint8_t id[16];
  EXPECT_TRUE(generator.GetId(id));
  EXPECT_TRUE(Filled(id, 0x44));
  EXPECT_EQ(block.state, kIdPublishing);
  EXPECT_TRUE(Filled(block.id, 0));
}

// The computing caller finishes after a waiter gave up: both deliver, the block is published once.
TEST(CSeqIDGenerator, SlowComputationAndImpatientWaiterAgree) {
  SharedIdBlock block = {{0}, {kIdNotComputed}};
  CountingCompute slow{{0}, 0x66, milliseconds(200)};
  CountingCompute quick{{0}, 0x66};
  uint8_t first[16], second[16];
  std::thread computing([&] { CSeqIDGenerator(&block, slow.Function()).GetId(first); });
  while (block.state.load() == kIdNotComputed) std::this_thread::yield();
  CSeqIDGenerator(&block, quick.Function(), milliseconds(10)).GetId(second);
  computing.join();
  EXPECT_EQ(slow.calls, 1);
  EXPECT_EQ(quick.calls, 1);
  EXPECT_TRUE(Filled(first, 0x66));
  EXPECT_TRUE(Filled(second, 0x66));
  EXPECT_EQ(block.state, kIdReady);
}

}  // namespace
}  // namespace XvMacID
