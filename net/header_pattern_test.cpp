#include "net/header_pattern.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <regex>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

constexpr const char* kNoMatch = "<none>";

// The matched text, or kNoMatch; `group0` gets capture group 0 ("<unset>" when it took no part).
std::string Find(const std::wstring& pattern, const std::wstring& text, std::string* group0 = nullptr) {
  HeaderPattern compiled(pattern);
  EXPECT_TRUE(compiled.IsValid()) << compiled.ParseError();
  PatternMatch match;
  if (!compiled.Search(text, 0, match)) return kNoMatch;
  auto narrow = [](const std::wstring& w) { return std::string(w.begin(), w.end()); };
  if (group0) {
    *group0 = match.HasGroup(0) ? narrow(text.substr(match.groups[0], match.groups[1] - match.groups[0])) : "<unset>";
  }
  return narrow(text.substr(match.begin, match.end - match.begin));
}

struct MatchCase {
  const wchar_t* pattern;
  const wchar_t* text;
  const char* match;   // kNoMatch when nothing matches
  const char* group0;  // nullptr: not checked
};

TEST(HeaderPatternTest, DialectElements) {
  const MatchCase cases[] = {
      // literals, case and "."
      {L"abc", L"xxABCyy", "ABC", nullptr},
      {L"ABC", L"xxabcyy", "abc", nullptr},
      {L"a.c", L"abc", "abc", nullptr},
      {L"a.c", L"ac", kNoMatch, nullptr},
      // sets, ranges, negation, escapes inside sets
      {L"{[a-c]+}", L"xxbcaD", "bca", "bca"},
      {L"[^0-9]+", L"12ab3", "ab", nullptr},
      {L"x[\\t]y", L"x\ty", "x\ty", nullptr},
      {L"[\\-_]+", L"a-_b", "-_", nullptr},
      {L"[\\]]", L"a]b", "]", nullptr},
      {L"[A-Z]+", L"12aBc3", "aBc", nullptr},
      {L"charset={[A-Za-z0-9\\-_]+}", L"Content-Type: text/html; Charset=GBK\r\n", "Charset=GBK", "GBK"},
      // groups: numbering by opening brace, non-capturing groups, alternation order
      {L"{{a}b}", L"ab", "ab", "ab"},
      {L"(ab)+", L"ababx", "abab", nullptr},
      {L"(ab)+{c}", L"ababc", "ababc", "c"},
      {L"cat|dog", L"hotdog", "dog", nullptr},
      {L"{a|ab}", L"ab", "a", "a"},
      {L"{ab|a}", L"ab", "ab", "ab"},
      // greedy and lazy repetition
      {L"{a.*b}", L"aXbYb", "aXbYb", "aXbYb"},
      {L"{a.*?b}", L"aXbYb", "aXb", "aXb"},
      {L"{a+}", L"baaa", "aaa", "aaa"},
      {L"{a+?}", L"baaa", "a", "a"},
      {L"{x?}y", L"xy", "xy", "x"},
      {L"{x??}y", L"xy", "xy", "x"},
      {L"{x??}", L"x", "", ""},
      {L"{a+}", L"bbb", kNoMatch, nullptr},
      // "!" succeeds without consuming where its element does not match
      {L"{!x.}", L"xxab", "a", "a"},
      {L"a!b", L"ab ac", "a", nullptr},
      {L"{\\w!\\d}", L"ab1 cd", "a", "a"},  // \w gives back "b" so that no digit follows
      {L"{!(<\\/)<\\w>}", L"</a><b>", "<b>", "<b>"},
      // back references, compared without regard to case
      {L"{\\w}=\\0", L"foo=bar abc=ABC", "abc=ABC", "abc"},
      {L"{a|b}{c}\\1\\0", L"acca bccb", "acca", "a"},
      // abbreviations
      {L"\\a+", L"--ab12--", "ab12", nullptr},
      {L"x\\b+y", L"x \t y", "x \t y", nullptr},
      {L"\\c+", L"12Ab3", "Ab", nullptr},
      {L"{\\d+}", L"ab123c", "123", "123"},
      {L"#{\\h+}", L"#BEEFg", "#BEEF", "BEEF"},
      {L"a\\nb", L"a\rb", "a\rb", nullptr},
      {L"a\\nb", L"a\r\nb", "a\r\nb", nullptr},
      {L"a\\nb", L"a\nb", "a\nb", nullptr},
      {L"{\\q}", L"say \"hi there\" now", "\"hi there\"", "\"hi there\""},
      {L"{\\q}", L"it's 'x' ok", "'s '", "'s '"},
      {L"{\\w}", L"12 Word3", "Word", "Word"},
      {L"{\\z}", L"len 42;", "42", "42"},
      {L"{\\D}", L"ab7", "7", "7"},  // the pattern is lowered first: \D is \d
      // any other escaped character stands for itself, also "\t" outside a set
      {L"a\\.b", L"axb a.b", "a.b", nullptr},
      {L"\\t", L"\tt", "t", nullptr},
      {L"\\{\\}", L"{}", "{}", nullptr},
      // "^" only at the start, "$" only at the end
      {L"^ab", L"ab", "ab", nullptr},
      {L"^ab", L"xab", kNoMatch, nullptr},
      {L"ab$", L"abab", "ab", nullptr},
      {L"ab$", L"abx", kNoMatch, nullptr},
      {L"a$b", L"a$b", "a$b", nullptr},
      {L"a^b", L"a^b", "a^b", nullptr},
      {L"^$", L"", "", nullptr},
      // the program's own patterns
      {L"Content-Length: {[0-9]+}", L"content-length: 12\r\n", "content-length: 12", "12"},
      {L"Content-Length: {[0-9]+}", L"Content-Length:12\r\n", kNoMatch, nullptr},
      {L"Set-Cookie:\\b*{.+?}\\n", L"SET-COOKIE: \t a=1; Path=/\r\n", "SET-COOKIE: \t a=1; Path=/\r", "a=1; Path=/"},
      {L"Set-Cookie:\\b*{.+?}\\n", L"Set-Cookie:\r\n", "Set-Cookie:\r\n", "\r"},  // \n takes LF alone
      {L"{<html>}", L"<!doctype html><HTML><body>", "<HTML>", "<HTML>"},
      {L"{</html>}", L"<html lang=en>", kNoMatch, nullptr},
  };
  for (const auto& c : cases) {
    std::string group0;
    std::string found = Find(c.pattern, c.text, &group0);
    std::wstring pattern = c.pattern;
    SCOPED_TRACE(std::string(pattern.begin(), pattern.end()));
    EXPECT_EQ(found, c.match);
    if (c.group0 && found != kNoMatch) EXPECT_EQ(group0, c.group0);
  }
}

TEST(HeaderPatternTest, ParseErrors) {
  const wchar_t* bad[] = {L"",    L"(",   L"{a",   L"[a",   L"a)",  L"a}",  L"*a",   L"a**",
                          L"a+*", L"\\",  L"[z-a]", L"\\1{a}", L"\\0", L"!",  L"a|*b", L"(!)",
                          L"[\\"};
  for (const wchar_t* pattern : bad) {
    HeaderPattern compiled(pattern);
    std::wstring w = pattern;
    EXPECT_FALSE(compiled.IsValid()) << std::string(w.begin(), w.end());
    EXPECT_FALSE(compiled.ParseError().empty());
    PatternMatch match;
    EXPECT_FALSE(compiled.Search(L"anything", 0, match));
  }
  // A reference to a group opened before it is fine, also from inside that group.
  EXPECT_TRUE(HeaderPattern(L"{a\\0}").IsValid());
  EXPECT_EQ(Find(L"{a\\0}", L"aa"), kNoMatch);  // the group has captured nothing yet
  // Nesting deep enough to exhaust a recursive parser is refused, not crashed on.
  EXPECT_FALSE(HeaderPattern(std::wstring(100000, L'(') + L"a" + std::wstring(100000, L')')).IsValid());
  EXPECT_FALSE(HeaderPattern(std::wstring(100000, L'!') + L"a").IsValid());
}

TEST(HeaderPatternTest, CollectCapturesWalksSuccessiveMatches) {
  std::vector<std::wstring> out{L"stale"};
  EXPECT_TRUE(CollectCaptures(L"{\\d\\d}", L"123456", out));
  EXPECT_EQ(out, (std::vector<std::wstring>{L"12", L"34", L"56"}));

  // Only group 0, each value once regardless of case, first spelling kept.
  EXPECT_TRUE(CollectCaptures(L"Set-Cookie:\\b*{.+?}\\n",
                              L"Set-Cookie: a=1\r\nset-cookie: A=1\r\nSet-Cookie:b=2\r\nSet-Cookie: a=1\r\n", out));
  EXPECT_EQ(out, (std::vector<std::wstring>{L"a=1", L"b=2"}));
  EXPECT_TRUE(CollectCaptures(L"{\\w}-{\\d}", L"ab-1 cd-2", out));
  EXPECT_EQ(out, (std::vector<std::wstring>{L"ab", L"cd"}));

  // Empty matches move on by one place and end at the end of the text.
  EXPECT_TRUE(CollectCaptures(L"{x*}", L"axxb", out));
  EXPECT_EQ(out, (std::vector<std::wstring>{L"", L"xx"}));
  // "^" lets only the first search match.
  EXPECT_TRUE(CollectCaptures(L"^{a}", L"aaa", out));
  EXPECT_EQ(out, (std::vector<std::wstring>{L"a"}));
  // No group 0, or no match: true with an empty list.
  EXPECT_TRUE(CollectCaptures(L"a", L"aaa", out));
  EXPECT_TRUE(out.empty());
  EXPECT_TRUE(CollectCaptures(L"{z}", L"aaa", out));
  EXPECT_TRUE(out.empty());

  out = {L"stale"};
  EXPECT_FALSE(CollectCaptures(L"", L"abc", out));
  EXPECT_TRUE(out.empty());
  out = {L"stale"};
  EXPECT_FALSE(CollectCaptures(L"{a}", L"", out));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(CollectCaptures(L"{a", L"abc", out));
}

// Hostile texts: the scans below are quadratic or exponential for a plain backtracking matcher.
TEST(HeaderPatternTest, HostileTextsEndWithinTheirWorkBound) {
  // One long header line of repeated cookie prefixes and no line end.
  std::wstring repeated;
  while (repeated.size() < (1u << 20)) repeated += L"Set-Cookie:";
  std::vector<std::wstring> out;
  EXPECT_TRUE(CollectCaptures(L"Set-Cookie:\\b*{.+?}\\n", repeated, out));
  EXPECT_TRUE(out.empty());
  // ... and the same line once it ends: one value, the rest of the line.
  EXPECT_TRUE(CollectCaptures(L"Set-Cookie:\\b*{.+?}\\n", repeated + L"\r\n", out));
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].size(), repeated.size() - 11);

  const std::wstring as(200000, L'a');
  struct Hostile {
    const wchar_t* pattern;
    std::wstring text;
    bool limitReached;
  } cases[] = {
      {L"(a*)*b", as, false},           // nested loops, no way to end
      {L"(a|aa)*c", as, false},         // ambiguous alternatives
      {L"(.*a){12}x", as, false},        // braces are a capture here, still linear
      {L"{.*.*.*}=", as, false},        // three greedy runs meeting
      {L"!(.*b)a", as, false},          // a lookahead that scans to the end at every place
      {L"{a}(a|a)*b\\0", std::wstring(40, L'a'), true},  // back reference: exponential, budgeted
  };
  for (const auto& c : cases) {
    std::wstring w = c.pattern;
    SCOPED_TRACE(std::string(w.begin(), w.end()));
    HeaderPattern compiled(c.pattern);
    ASSERT_TRUE(compiled.IsValid()) << compiled.ParseError();
    PatternSearch search(compiled, c.text);
    PatternMatch match;
    int matches = 0;
    while (search.Next(match) && matches < 3) ++matches;
    EXPECT_EQ(search.WorkLimitReached(), c.limitReached);
  }
  // The lookahead case does match, at the first place: no "b" follows anywhere.
  EXPECT_EQ(Find(L"!(.*b)a", L"aab"), kNoMatch);
  EXPECT_EQ(Find(L"!(.*b)a", L"baa"), "a");
}

// The memo must not change what matches. ECMAScript regular expressions share this dialect's
// leftmost, backtracking semantics for everything but back references and repetitions of
// elements that can match nothing (their empty-iteration rules differ between engines), so
// random patterns without those are translated and both engines must find the same span.
class RandomPattern {
 public:
  // `anyRepetition`: also repeat elements that can match nothing.
  RandomPattern(uint32_t seed, bool anyRepetition) : rng_(seed), anyRepetition_(anyRepetition) {}
  void Make(std::wstring& ours, std::wstring& ecma) {
    ours.clear();
    ecma.clear();
    Alternation(ours, ecma, 0);
  }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  // Each returns whether what it wrote can match the empty string.
  bool Alternation(std::wstring& o, std::wstring& e, int depth) {
    bool nullable = Concat(o, e, depth);
    if (depth < 3 && Pick(4) == 0) {
      o += L'|';
      e += L'|';
      nullable = Concat(o, e, depth) || nullable;
    }
    return nullable;
  }
  bool Concat(std::wstring& o, std::wstring& e, int depth) {
    bool nullable = true;
    for (int k = 1 + Pick(3); k > 0; --k) nullable = Piece(o, e, depth) && nullable;
    return nullable;
  }
  bool Piece(std::wstring& o, std::wstring& e, int depth) {
    if (depth < 3 && Pick(8) == 0) {
      std::wstring io, ie;
      Atom(io, ie, depth + 1);
      o += L"!" + io;
      e += L"(?!" + ie + L")";
      return true;
    }
    if (Atom(o, e, depth) && !anyRepetition_) return true;
    static const wchar_t* const kQuantifiers[] = {L"", L"", L"*", L"+", L"?", L"*?", L"+?", L"??"};
    const wchar_t* q = kQuantifiers[Pick(8)];
    o += q;
    e += q;
    return q[0] == L'*' || q[0] == L'?';
  }
  bool Atom(std::wstring& o, std::wstring& e, int depth) {
    switch (depth < 3 ? Pick(7) : Pick(5)) {
      case 0: o += L"a"; e += L"a"; return false;
      case 1: o += L"b"; e += L"b"; return false;
      case 2: o += L"."; e += L"."; return false;  // texts hold no line ends
      case 3: o += L"[^a]"; e += L"[^a]"; return false;
      case 4: o += L"[ab]"; e += L"[ab]"; return false;
      case 5: {
        o += L"{";
        e += L"(";
        bool nullable = Alternation(o, e, depth + 1);
        o += L"}";
        e += L")";
        return nullable;
      }
      default: {
        o += L"(";
        e += L"(?:";
        bool nullable = Alternation(o, e, depth + 1);
        o += L")";
        e += L")";
        return nullable;
      }
    }
  }
  std::mt19937 rng_;
  bool anyRepetition_;
};

TEST(HeaderPatternTest, AgreesWithBacktrackingRegexOnRandomPatterns) {
  RandomPattern generator(20240611, false);
  std::mt19937 textRng(7);
  for (int round = 0; round < 1500; ++round) {
    std::wstring ours, ecma;
    generator.Make(ours, ecma);
    HeaderPattern compiled(ours);
    ASSERT_TRUE(compiled.IsValid()) << compiled.ParseError();
    std::wregex reference(ecma, std::regex::ECMAScript);
    for (int t = 0; t < 4; ++t) {
      std::wstring text;
      for (int k = int(textRng() % 10); k > 0; --k) text += textRng() % 3 ? L'a' : L'b';
      PatternMatch match;
      bool found = compiled.Search(text, 0, match);
      std::wsmatch expected;
      bool expectedFound = std::regex_search(text, expected, reference);
      std::string trace = std::string(ours.begin(), ours.end()) + " on \"" + std::string(text.begin(), text.end()) + "\"";
      ASSERT_EQ(found, expectedFound) << trace;
      if (found) {
        ASSERT_EQ(match.begin, size_t(expected.position(0))) << trace;
        ASSERT_EQ(match.end - match.begin, size_t(expected.length(0))) << trace;
      }
    }
  }
}

// A back reference turns the memo off. Appending an empty group and a reference to it changes
// nothing else, so the same engine without its memo is the reference here, also for repetitions
// of elements that can match nothing (where the memo must settle loops it cut correctly).
TEST(HeaderPatternTest, MemoAgreesWithPlainBacktracking) {
  RandomPattern generator(99, true);
  std::mt19937 textRng(3);
  int compared = 0;
  for (int round = 0; round < 3000; ++round) {
    std::wstring ours, unused;
    generator.Make(ours, unused);
    HeaderPattern compiled(ours);
    ASSERT_TRUE(compiled.IsValid()) << compiled.ParseError();
    if (compiled.GroupCount() > 9) continue;
    HeaderPattern plain(L"(" + ours + L"){}\\" + std::to_wstring(compiled.GroupCount()));
    ASSERT_TRUE(plain.IsValid()) << plain.ParseError();
    for (int t = 0; t < 4; ++t) {
      std::wstring text;
      for (int k = int(textRng() % 10); k > 0; --k) text += textRng() % 3 ? L'a' : L'b';
      PatternSearch memoised(compiled, text), reference(plain, text);
      PatternMatch a, b;
      std::string trace = std::string(ours.begin(), ours.end()) + " on \"" + std::string(text.begin(), text.end()) + "\"";
      for (;;) {
        bool foundA = memoised.Next(a), foundB = reference.Next(b);
        ASSERT_FALSE(memoised.WorkLimitReached()) << trace;
        if (reference.WorkLimitReached()) break;  // exponential without the memo: no verdict
        ASSERT_EQ(foundA, foundB) << trace;
        if (!foundA) break;
        ASSERT_EQ(a.begin, b.begin) << trace;
        ASSERT_EQ(a.end, b.end) << trace;
        b.groups.resize(a.groups.size());
        ASSERT_EQ(a.groups, b.groups) << trace;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 3000);  // the budget must not have excused most cases
}

TEST(HeaderPatternTest, FuzzEntrySmokeRun) {
  const std::string corpus[] = {
      std::string("\x15") + "Set-Cookie:\\b*{.+?}\\nSet-Cookie: a\r\nset-cookie:b\n",
      std::string("\x08") + "{(a*)*}b" + std::string(300, 'a'),
      std::string("\x09") + "{a}\\0!\\0$aaaab",
      std::string("\x06") + "[^\\]{\\qx\"\"'",
      std::string("\xff") + "((((",
  };
  for (const auto& input : corpus) {
    for (size_t length = 0; length <= input.size(); ++length) {
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), length);
    }
  }
}

}  // namespace
