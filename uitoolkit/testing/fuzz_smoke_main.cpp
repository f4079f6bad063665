// Short fuzz run for the normal host tests: each seed as given, then a few thousand deterministic
// mutations of the seeds (byte flips, truncations, insertions, duplicated slices) through the
// fuzz entry point. A crash or sanitizer report fails the test. With --write-seeds DIR it writes
// the seeds as files instead, as a starting corpus for a real fuzz run.
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
std::vector<std::string> FuzzSeeds();

int main(int argc, char** argv) {
  std::vector<std::string> seeds = FuzzSeeds();
  if (argc == 3 && std::string(argv[1]) == "--write-seeds") {  // a starting corpus for libFuzzer
    for (size_t i = 0; i < seeds.size(); ++i) {
      std::string path = std::string(argv[2]) + "/seed" + std::to_string(i);
      if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(seeds[i].data(), 1, seeds[i].size(), f);
        std::fclose(f);
      }
    }
    return 0;
  }
  std::mt19937 random(20240517);
  auto pick = [&](size_t n) { return n == 0 ? size_t{0} : std::uniform_int_distribution<size_t>(0, n - 1)(random); };
  size_t runs = 0;
  for (const std::string& seed : seeds) {
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(seed.data()), seed.size());
    ++runs;
  }
  for (int i = 0; i < 3000; ++i) {
    std::string input = seeds[pick(seeds.size())];
    int edits = 1 + static_cast<int>(pick(8));
    for (int e = 0; e < edits; ++e) {
      switch (pick(5)) {
        case 0:
          if (!input.empty()) input[pick(input.size())] ^= static_cast<char>(1u << pick(8));
          break;
        case 1:
          if (!input.empty()) input[pick(input.size())] = static_cast<char>(pick(256));
          break;
        case 2:
          input.resize(pick(input.size() + 1));
          break;
        case 3:
          input.insert(pick(input.size() + 1), 1, "<>/=\"'&;!?-"[pick(11)]);
          break;
        default: {
          size_t from = pick(input.size() + 1);
          size_t length = pick(input.size() - from + 1);
          input.insert(pick(input.size() + 1), input.substr(from, length));
        }
      }
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    ++runs;
  }
  std::printf("%zu inputs ran\n", runs);
  return 0;
}
