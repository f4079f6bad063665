// Test program for the leak checker's exit report: does one thing named by its argument, prints
// "probe done" and exits through main's return, so the exit report follows on standard output.
//
//   leak-one       one Callback without a bound call, never destroyed
//   leak-copies    a bound Callback and two copies of it, never destroyed
//   clean          callbacks made, copied, run in the process pool and destroyed
//   none           no callback at all
//   queued-in-stopped-pool
//                  callbacks left queued in the process pool when it is stopped
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "foundation/callback.h"
#include "foundation/worker_pool.h"

namespace {

using rezorev::Bind;
using rezorev::Callback;
using rezorev::WorkerPool;

void WaitUntil(const std::atomic<bool>& flag) {
  while (!flag.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void QueueInStoppedPool() {
  WorkerPool& pool = WorkerPool::Instance();
  const size_t workers = pool.ThreadCount();
  std::atomic<size_t> busy{0};
  // Keep every worker busy until the pool stops, so that the last two tasks stay queued.
  for (size_t i = 0; i < workers; ++i) {
    pool.Post(Bind([&pool, &busy] {
      ++busy;
      while (pool.IsRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }));
  }
  for (int i = 0; i < 2; ++i) pool.Post(Bind([] { std::printf("queued task ran\n"); }));
  while (busy.load() < workers) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  pool.Stop();
  std::printf("queued: %u\n", static_cast<unsigned>(pool.QueuedCount()));
}

}  // namespace

int main(int argc, char** argv) {
  const char* mode = argc > 1 ? argv[1] : "";
  if (std::strcmp(mode, "leak-one") == 0) {
    new Callback<void()>();
  } else if (std::strcmp(mode, "leak-copies") == 0) {
    auto* original = new Callback<void()>(Bind([] {}));
    new Callback<void()>(*original);
    new Callback<void()>(*original);
  } else if (std::strcmp(mode, "clean") == 0) {
    std::atomic<bool> ran{false};
    {
      Callback<void()> task = Bind([&ran] { ran = true; });
      Callback<void()> copy = task;
      WorkerPool::Instance().Post(copy);
    }
    WaitUntil(ran);
    WorkerPool::Instance().Stop();  // joins: the pool's copy is gone once it returns
  } else if (std::strcmp(mode, "queued-in-stopped-pool") == 0) {
    QueueInStoppedPool();
  } else if (std::strcmp(mode, "none") != 0) {
    std::fprintf(stderr, "unknown mode\n");
    return 2;
  }
  std::printf("probe done\n");
  std::fflush(stdout);
  return 0;
}
