// HeaderPattern: the small case-insensitive pattern matcher that reads HTTP response headers and
// bodies (charset, Content-Length, Set-Cookie, the html tags).
//
// Pattern dialect
// ---------------
//   c         any character not listed below matches itself
//   .         any character (not the end of the text)
//   [set]     one character of the set; "a-z" is a range; "\t" is a tab, "\" before any other
//             character stands for that character; "[^set]" is one character not in the set
//   {...}     capture group, numbered from 0 in the order of the opening braces
//   (...)     group without capture
//   x|y       alternatives, tried left to right
//   e* e+ e?  zero or more, one or more, zero or one, as many as possible;
//   e*? e+? e??  the same, as few as possible
//   !e        succeeds without consuming text where e does not match here
//   \0 .. \9  the text captured by that group; a group not opened yet is a parse error; a group
//             that has not captured anything when the reference is reached does not match
//   \a \b \c \d \h \n \q \w \z   abbreviations, each parsed as a pattern in its place:
//             a "([a-zA-Z0-9])"  b "([ \t])"  c "([a-zA-Z])"  d "([0-9])"  h "([0-9a-fA-F])"
//             n "(\r|(\r?\n))" (CR, CR LF or LF)  q a "..." or '...' quoted string
//             w "([a-zA-Z]+)"    z "([0-9]+)"
//   \x        any other escaped character stands for itself
//   ^         first character of the pattern: the match begins at the start of the text
//   $         last character of the pattern: matches the end of the text (elsewhere, itself)
//
// Matching ignores the case of ASCII letters: the pattern is lowered before it is compiled and
// the text is matched through a lowered copy, so positions map one to one onto the text passed
// in and captured values keep their case. The first match from the leftmost start position wins,
// with the alternatives and repetitions tried in the order above (backtracking semantics). A
// repetition that comes back, without having consumed anything, to a choice it is still trying
// at the same place abandons that way, so repeating an element that can match nothing ends;
// with such elements nested in repetitions this can settle for an earlier end than other
// backtracking engines would.
//
// Work bounds
// -----------
// Texts come from servers and are not trusted. Without back references the matcher remembers
// every (branch, position) it has proved to fail, so a whole scan of a text of n characters does
// O(pattern size x n) work however the text is built. A back reference makes a match depend on
// what was captured, so nothing can be remembered; such patterns get a work budget per scan
// (PatternSearch::kWorkPerUnit steps per pattern instruction and text character, at least
// kMinWork), and a scan that exhausts it ends as "no further match" with WorkLimitReached() set.
// Memory is O(pattern size x n) bits at most. Texts longer than kMaxTextLength never match.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// One match: the matched span and the span of each capture group, as offsets into the text.
struct PatternMatch {
  static constexpr size_t kUnset = static_cast<size_t>(-1);
  size_t begin = 0;
  size_t end = 0;
  // Two entries per group: start, end. kUnset for a group that took no part in the match.
  std::vector<size_t> groups;

  bool HasGroup(size_t group) const { return 2 * group + 1 < groups.size() && groups[2 * group] != kUnset; }
};

class HeaderPattern {
 public:
  // Compiles `pattern` (lowered first). An empty pattern or one that breaks the dialect gives an
  // invalid object: IsValid() false, ParseError() says what and where, nothing ever matches.
  explicit HeaderPattern(const std::wstring& pattern);
  ~HeaderPattern();
  HeaderPattern(HeaderPattern&&) noexcept;
  HeaderPattern& operator=(HeaderPattern&&) noexcept;
  HeaderPattern(const HeaderPattern&) = delete;
  HeaderPattern& operator=(const HeaderPattern&) = delete;

  bool IsValid() const;
  const std::string& ParseError() const;
  size_t GroupCount() const;

  // The first match in `text` whose start is at `from` or later; false when there is none (or
  // the pattern is invalid, or the work budget of a back-reference pattern ran out).
  bool Search(std::wstring_view text, size_t from, PatternMatch& match) const;

  struct Program;  // compiled form; defined in header_pattern.cpp

 private:
  friend class PatternSearch;
  std::unique_ptr<Program> program_;
  std::string error_;
};

// Successive matches of one pattern over one text, the first search starting at `from`, each
// later one where the previous match ended (one character later after an empty match); the
// scan ends after a match that reaches the end of the text. The searches share what the earlier
// ones proved. The pattern and the text must outlive the object.
class PatternSearch {
 public:
  static constexpr uint64_t kWorkPerUnit = 32;
  static constexpr uint64_t kMinWork = uint64_t(1) << 22;
  static constexpr size_t kMaxTextLength = 0x3FFFFFFF;

  PatternSearch(const HeaderPattern& pattern, std::wstring_view text, size_t from = 0);
  ~PatternSearch();
  PatternSearch(const PatternSearch&) = delete;
  PatternSearch& operator=(const PatternSearch&) = delete;

  // The next match, or false once there is none (then every later call is false too).
  bool Next(PatternMatch& match);
  // True when a back-reference pattern ran out of its work budget: the scan stopped early.
  bool WorkLimitReached() const;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// Clears `captures`, then collects from every successive match of `pattern` in `text` the text
// of capture group 0 (later groups are ignored), skipping values already collected (compared
// without regard to ASCII case). False when the pattern or the text is empty or the pattern does
// not compile; true otherwise, also when nothing was collected.
bool CollectCaptures(const std::wstring& pattern, const std::wstring& text, std::vector<std::wstring>& captures);
