// XmlTree::Load over ReadOnlyFile: the whole file is read into memory and parsed from there.
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "foundation/read_only_file.h"
#include "foundation/xml_tree.h"

namespace rezorev {

bool XmlTree::Load(const std::wstring& path) {
  root_.reset();
  ReadOnlyFile file(path);
  if (!file.Open()) return false;
  const int64_t size = file.Size();
  if (size < 0 || static_cast<uint64_t>(size) > std::numeric_limits<size_t>::max()) return false;
  std::vector<char> buffer;
  try {
    buffer.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return false;  // more than this 32-bit process can hold: not a catalogue
  }
  int64_t read = 0;
  if (!buffer.empty()) {
    read = file.Read(buffer.data(), buffer.size());
    if (read < 0) return false;
  }
  return Parse(buffer.data(), static_cast<size_t>(read));
}

}  // namespace rezorev
