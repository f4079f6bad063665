// CSeqIDGenerator: hands out the machine identifier, computing it at most once per shared block.
//
// The block is 20 bytes: the identifier (16 bytes) and a state word. In the program it lives in
// the data section ".XvGuid" of the program image, which the system shares between every running
// instance of the same image (machine_id.h), so a second instance started while the first runs
// reuses the identifier without touching the hardware or the profile.
//
// States: 0 not computed; 255 being computed; 254 being published (the identifier bytes are being
// written); 1 ready. Only the caller that moved the state from 0 to 255 computes, unless the
// computation is not finished within the wait bound (a computing instance that died before it
// was done leaves 255 behind for as long as another instance keeps the block alive): then the
// waiter computes the identifier itself, and publishes it if the state still reads 255.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>

namespace XvMacID {

struct SharedIdBlock {
  uint8_t id[16];
  std::atomic<uint32_t> state;
};
static_assert(sizeof(SharedIdBlock) == 20, "the shared identity block is 20 bytes");
static_assert(std::atomic<uint32_t>::is_always_lock_free,
              "the state word is shared between processes and must be a plain word");

constexpr uint32_t kIdNotComputed = 0;
constexpr uint32_t kIdReady = 1;
constexpr uint32_t kIdPublishing = 254;
constexpr uint32_t kIdComputing = 255;

class CSeqIDGenerator {
 public:
  using ComputeFunction = std::function<void(uint8_t id[16])>;

  // A computation normally takes well under a second; disk requests may each take seconds on a
  // slow controller, so the bound leaves room for that before a waiter gives up.
  static constexpr std::chrono::milliseconds kDefaultWaitBound{15000};

  // Uses `block` (not owned; must outlive the generator) and computes with `compute`.
  CSeqIDGenerator(SharedIdBlock* block, ComputeFunction compute,
                  std::chrono::milliseconds waitBound = kDefaultWaitBound);
  virtual ~CSeqIDGenerator();
  CSeqIDGenerator(const CSeqIDGenerator&) = delete;
  CSeqIDGenerator& operator=(const CSeqIDGenerator&) = delete;

  // Always true; fills `id` with the identifier: the one in the block when it is ready or gets
  // ready within the wait bound, else one computed by this call.
  bool GetId(uint8_t id[16]);

 private:
  // Writes `id` into the block and marks it ready, unless someone else already published.
  void Publish(const uint8_t id[16]);

  SharedIdBlock* block_;
  ComputeFunction compute_;
  std::chrono::milliseconds waitBound_;
};

}  // namespace XvMacID
