// Fuzz entry over catalogue text: any bytes either fail to load, or parse into the item maps, or
// end in the logic error that ends an install run - never anything else.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "foundation/xml_tree.h"
#include "installer/install_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rezorev::XmlTree tree;
  if (!tree.Parse(data, size)) return 0;
  ChannelParams params;
  params.supplyId_ = 100566;
  params.installKordin_ = true;
  CInstallEngine engine(params);
  try {
    engine.ParseCatalogueRoot(*tree.Root());
    engine.GetNeedInstallComponentItems();
  } catch (const std::logic_error&) {
  }
  return 0;
}
