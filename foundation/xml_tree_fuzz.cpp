// libFuzzer entry point: any bytes parsed as an XML document into the element tree. The tree's
// invariants (parents, depth bound) are checked on every tree that builds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "foundation/xml_tree.h"

namespace {

int CheckedDepth(const rezorev::XmlNode& node, int depth) {
  int deepest = depth;
  for (const rezorev::XmlNode* child : node.Children()) {
    if (child->Parent() != &node) std::abort();
    const int below = CheckedDepth(*child, depth + 1);
    if (below > deepest) deepest = below;
  }
  return deepest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rezorev::XmlTree tree;
  if (tree.Parse(data, size)) {
    if (tree.Root() == nullptr || tree.Root()->Parent() != nullptr) std::abort();
    if (CheckedDepth(*tree.Root(), 1) > rezorev::XmlTree::kMaxDepth) std::abort();
  } else if (tree.Root() != nullptr) {
    std::abort();
  }
  return 0;
}
