// libFuzzer entry point for the header pattern matcher. The first byte splits the input: that
// many following bytes (as Latin-1 characters) are the pattern, the rest is the text. Every
// match must lie inside the text with its groups inside the match span, and a scan must end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/header_pattern.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t patternLength = data[0] < size - 1 ? data[0] : size - 1;
  const std::wstring pattern(data + 1, data + 1 + patternLength);
  const std::wstring text(data + 1 + patternLength, data + size);

  HeaderPattern compiled(pattern);
  if (compiled.IsValid() != compiled.ParseError().empty()) std::abort();
  PatternSearch search(compiled, text);
  PatternMatch match;
  size_t previousEnd = 0;
  size_t matches = 0;
  while (search.Next(match)) {
    if (match.begin > match.end || match.end > text.size() || match.begin < previousEnd) std::abort();
    if (match.groups.size() != 2 * compiled.GroupCount()) std::abort();
    for (size_t g = 0; g < compiled.GroupCount(); ++g) {
      if (!match.HasGroup(g)) continue;
      if (match.groups[2 * g] > match.groups[2 * g + 1] || match.groups[2 * g + 1] > text.size()) std::abort();
    }
    previousEnd = match.end;
    if (++matches > text.size() + 1) std::abort();  // every search moves on by at least one place
  }
  std::vector<std::wstring> captures;
  const bool collected = CollectCaptures(pattern, text, captures);
  if (collected != (compiled.IsValid() && !text.empty())) std::abort();
  return 0;
}
