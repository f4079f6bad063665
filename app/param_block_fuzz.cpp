// Fuzz entry: the input is the tail of a program file. Reading the channel parameters from it must
// neither crash nor allocate beyond its size, whatever the bytes.
#include <cstddef>
#include <cstdint>

#include "app/channel_params.h"

namespace {

class DiscardLog : public ParamLog {
 public:
  void Write(rezorev::LogLevel, const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemoryReader reader(data, size);
  DiscardLog log;
  ChannelParams params;
  ReadChannelParams(reader, size, params, log);
  return 0;
}
