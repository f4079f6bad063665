#include "identity/seq_id_generator.h"

#include <cstring>
#include <thread>
#include <utility>

namespace XvMacID {

CSeqIDGenerator::CSeqIDGenerator(SharedIdBlock* block, ComputeFunction compute,
                                 std::chrono::milliseconds waitBound)
    : block_(block), compute_(std::move(compute)), waitBound_(waitBound) {}

CSeqIDGenerator::~CSeqIDGenerator() = default;

void CSeqIDGenerator::Publish(const uint8_t id[16]) {
  uint32_t expected = kIdComputing;
  if (!block_->state.compare_exchange_strong(expected, kIdPublishing)) return;
  std::memcpy(block_->id, id, 16);
  block_->state.store(kIdReady, std::memory_order_release);
}

bool CSeqIDGenerator::GetId(uint8_t id[16]) {
  uint32_t expected = kIdNotComputed;
  if (block_->state.compare_exchange_strong(expected, kIdComputing)) {
    compute_(id);
    Publish(id);
    return true;
  }

  const auto deadline = std::chrono::steady_clock::now() + waitBound_;
  for (;;) {
    const uint32_t state = block_->state.load(std::memory_order_acquire);
    if (state == kIdReady) {
      std::memcpy(id, block_->id, 16);
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::yield();
  }
  // The computing instance did not finish in time: do the work here.
  compute_(id);
  Publish(id);
  return true;
}

}  // namespace XvMacID
