// Header pattern matcher throughput on megabyte-sized header blocks, ordinary and hostile,
// against two references measured in the same run:
//   scan  - a hand-written single pass that finds the same cookie values (the least work any
//           matcher has to do: lower-case compare and look for the line end);
//   regex - std::wregex (ECMAScript, icase, backtracking) with the equivalent expression, on the
//           sizes where it survives (it recurses per character and is quadratic on hostile text).
// Prints one line per case and size: milliseconds and nanoseconds per character of each, and
// the ratios matcher / scan and regex / matcher.
//
//   http_pattern_bench [max megabytes, default 4]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "net/header_pattern.h"

namespace {

const wchar_t kPattern[] = L"Set-Cookie:\\b*{.+?}\\n";

double Milliseconds(const std::function<size_t()>& run, size_t& found) {
  // The best of three runs, to keep scheduling noise out of the ratios.
  double best = 1e300;
  for (int k = 0; k < 3; ++k) {
    auto start = std::chrono::steady_clock::now();
    found = run();
    best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

size_t WithMatcher(const std::wstring& text) {
  std::vector<std::wstring> values;
  CollectCaptures(kPattern, text, values);
  return values.size();
}

wchar_t Lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c; }

// The same values by hand: each "set-cookie:" (any case), blanks, then the shortest non-empty
// run up to CR or LF; the search goes on after the line end. Duplicates are not removed (the
// matcher's de-duplication is a hash set, small next to the scan).
size_t WithScan(const std::wstring& text) {
  static const wchar_t kName[] = L"set-cookie:";
  const size_t n = text.size();
  size_t count = 0;
  size_t pos = 0;
  while (pos + 11 <= n) {
    size_t k = 0;
    while (k < 11 && Lower(text[pos + k]) == kName[k]) ++k;
    if (k < 11) {
      ++pos;
      continue;
    }
    size_t value = pos + 11;
    while (value < n && (text[value] == L' ' || text[value] == L'\t')) ++value;
    if (value >= n) break;
    size_t end = text.find_first_of(L"\r\n", value + 1);
    if (end == std::wstring::npos) break;  // no line end follows: no later place can match either
    ++count;
    pos = end + 1;
  }
  return count;
}

size_t WithRegex(const std::wstring& text) {
  static const std::wregex expression(L"set-cookie:[ \\t]*(.+?)(\\r|\\r?\\n)",
                                      std::regex::ECMAScript | std::regex::icase);
  size_t count = 0;
  for (std::wsregex_iterator it(text.begin(), text.end(), expression), end; it != end; ++it) ++count;
  return count;
}

std::wstring Ordinary(size_t size) {
  std::wstring text = L"HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\n";
  for (int k = 0; text.size() < size; ++k) {
    text += (k % 3 ? L"X-Trace-" : L"Set-Cookie: session") + std::to_wstring(k) + L"=abcdef0123456789; Path=/\r\n";
  }
  return text + L"\r\n";
}

std::wstring Hostile(size_t size) {
  // One header line of cookie names: every place starts a match that runs to the end of the text.
  std::wstring text = L"HTTP/1.1 200 OK\r\nX-C: ";
  while (text.size() < size) text += L"Set-Cookie:";
  return text;
}

void Measure(const char* name, const std::wstring& text, bool withRegex) {
  size_t matcherFound = 0, scanFound = 0, regexFound = 0;
  const double matcher = Milliseconds([&] { return WithMatcher(text); }, matcherFound);
  const double scan = Milliseconds([&] { return WithScan(text); }, scanFound);
  const double chars = double(text.size());
  std::printf("%-9s %8zu KiB  matcher %9.2f ms %6.2f ns/char  scan %8.2f ms  matcher/scan %6.2f", name,
              text.size() / 1024, matcher, matcher * 1e6 / chars, scan, matcher / scan);
  if (withRegex) {
    const double regex = Milliseconds([&] { return WithRegex(text); }, regexFound);
    std::printf("  regex %10.2f ms  regex/matcher %8.2f", regex, regex / matcher);
  } else {
    std::printf("  regex        (not run: too slow or too deep)");
  }
  std::printf("  values %zu/%zu\n", matcherFound, scanFound);
}

}  // namespace

int main(int argc, char** argv) {
  const size_t maxMegabytes = argc > 1 ? size_t(std::atoi(argv[1])) : 4;
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  std::printf("pattern %ls\n", kPattern);
  // std::wregex recurses once per character of a match attempt: on the hostile line it runs out
  // of stack somewhere past 16 KiB, so it is measured below that only.
  for (size_t size : {size_t(4) << 10, size_t(16) << 10, size_t(64) << 10}) {
    Measure("ordinary", Ordinary(size), true);
    Measure("hostile", Hostile(size), size <= (size_t(16) << 10));
  }
  for (size_t mb = 1; mb <= maxMegabytes; mb *= 2) {
    Measure("ordinary", Ordinary(mb << 20), false);
    Measure("hostile", Hostile(mb << 20), false);
  }
  return 0;
}
