// XmlTree::Load for the host build: reads the file with the standard library (the path is
// converted to UTF-8) and parses it like the program does.
#include <fstream>
#include <iterator>
#include <vector>

#include "foundation/text_convert.h"
#include "foundation/xml_tree.h"

namespace rezorev {

bool XmlTree::Load(const std::wstring& path) {
  root_.reset();
  std::ifstream file(Utf16ToUtf8(path), std::ios::binary);
  if (!file) return false;
  const std::vector<char> buffer((std::istreambuf_iterator<char>(file)),
                                 std::istreambuf_iterator<char>());
  if (file.bad()) return false;
  return Parse(buffer.data(), buffer.size());
}

}  // namespace rezorev
