// Fuzz entry for reading the channel parameters. Reading must neither crash nor allocate beyond
// the file's size, whatever the bytes. The first input byte picks what the rest is:
//   even: the raw tail of a program file (headers, lengths and digests as they come);
//   odd:  the JSON text of one block, stamped with a correct digest, so that the parser and the
//         typed reads are reached too (random bytes almost never match an MD5).
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "app/channel_params.h"

namespace {

class DiscardLog : public ParamLog {
 public:
  void Write(rezorev::LogLevel, const std::string&) override {}
};

void Read(const uint8_t* file, size_t size) {
  MemoryReader reader(file, size);
  DiscardLog log;
  ChannelParams params;
  ReadChannelParams(reader, size, params, log);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  if ((data[0] & 1) == 0) {
    Read(data + 1, size - 1);
  } else {
    std::vector<uint8_t> file = BuildParamBlock(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    Read(file.data(), file.size());
  }
  return 0;
}
