// Fuzz entry: arbitrary bytes as markup. Every input must parse or fail cleanly; a parsed tree is
// walked completely with every attribute read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "uitoolkit/markup.h"

namespace {

void Walk(MarkupUI::CXmlMarkupNode node, int budget) {
  for (; node.IsBound() && budget > 0; node = node.NextSibling(), --budget) {
    (void)node.ElementName();
    int count = node.AttributeCount();
    for (int i = 0; i < count; ++i) {
      (void)node.AttributeNameAt(i);
      (void)node.AttributeValueAt(i);
    }
    wchar_t value[MarkupUI::CXmlMarkupNode::kValueBufferChars];
    node.FindAttribute(L"name", value);
    Walk(node.FirstChild(), budget / 2);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MarkupUI::CXmlMarkup markup;
  if (markup.ParseBytes(data, size)) Walk(markup.RootNode(), 100000);
  return 0;
}

std::vector<std::string> FuzzSeeds() {
  return {
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Window size=\"462,312\" caption=\"0,0,0,35\">"
      "<Font id=\"0\" name=\"Arial\" size=\"12px\" bold=\"true\"/><!-- c -->"
      "<VerticalLayout name=\"bkg\"><Label text=\"a&amp;b&lt;&gt;&quot;&apos;&x;\" /></VerticalLayout></Window>",
      "\xEF\xBB\xBF<Locale><Text id=\"wnd_install\" value=\"Install\"/><Text id=\"x\" value=\"\xE4\xB8\xAD\"/></Locale>",
      "<a b = \"1\" c=\"2\"><b></b><c/></a>",
  };
}
