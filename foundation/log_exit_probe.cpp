// Logs from several threads at once as its very first log calls, then exits normally through
// main's return. Writes the path of its log file (UTF-8) to the file named by its argument, so
// that a test can read what the exit tear-down left behind.
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "foundation/logger.h"
#include "foundation/text_convert.h"

namespace {

// Constructed before the logger exists, so destroyed after the logger's exit tear-down: its line
// must be dropped.
struct LateStatement {
  ~LateStatement() { LOG_INFO("Probe") << "logged after the tear-down"; }
} lateStatement;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([i] {
      for (int k = 0; k < 25; ++k) LOG_INFO("Probe") << "thread " << i << " line " << k;
    });
  }
  for (auto& thread : threads) thread.join();
  LOG_INFO("Probe") << "main returns";

  std::string path = rezorev::Utf16ToUtf8(rezorev::Logger::Instance().FilePath());
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) return 3;
  std::fwrite(path.data(), 1, path.size(), out);
  std::fclose(out);
  return 0;
}
