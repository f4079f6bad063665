// HeaderPattern: parser, compiler and matcher.
//
// Sections
//   1. Compiled form   - instructions of a small backtracking machine
//   2. Parser          - pattern text to a tree (recursive descent, depth-limited)
//   3. Compiler        - tree to instructions; "!" elements become sub-programs
//   4. Matcher         - depth-first backtracking over (instruction, position) states with
//                        failure memo, or a work budget when back references are present
//   5. Public interface
#include "net/header_pattern.h"

#include <algorithm>
#include <climits>
#include <unordered_set>
#include <utility>

namespace {

// ---------------------------------------------------------------------------------------------
// 1. Compiled form
// ---------------------------------------------------------------------------------------------

enum class Op : uint8_t { kChar, kAny, kSet, kSplit, kJmp, kSave, kBackref, kAssertEnd, kNotAhead, kMatch };

struct Inst {
  Op op = Op::kMatch;
  wchar_t c = 0;     // kChar: the lowered character
  int32_t x = 0;     // kSplit: preferred branch; kJmp: target; kSave: slot; kBackref: group;
                     // kSet: set index; kNotAhead: start of its sub-program
  int32_t y = 0;     // kSplit: the other branch
  int32_t row = -1;  // kSplit, kNotAhead: row of the memo tables
};

struct CharSet {
  bool negated = false;
  std::vector<std::pair<wchar_t, wchar_t>> ranges;

  bool Contains(wchar_t c) const {
    bool in = false;
    for (const auto& r : ranges) {
      if (c >= r.first && c <= r.second) {
        in = true;
        break;
      }
    }
    return in != negated;
  }
};

inline wchar_t LowerAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c - L'A' + L'a') : c; }

std::wstring LowerAscii(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) c = LowerAscii(c);
  return out;
}

// ---------------------------------------------------------------------------------------------
// 2. Parser
// ---------------------------------------------------------------------------------------------

struct Node {
  enum Kind { kEmpty, kChar, kAny, kSet, kGroup, kConcat, kAlt, kStar, kPlus, kQuest, kNotAhead, kBackref, kEnd };
  Kind kind = kEmpty;
  wchar_t c = 0;
  int32_t index = -1;  // kSet: set index; kGroup: capture number or -1; kBackref: group
  bool greedy = true;
  std::vector<std::unique_ptr<Node>> kids;
};
using NodePtr = std::unique_ptr<Node>;

NodePtr MakeNode(Node::Kind kind) {
  auto node = std::make_unique<Node>();
  node->kind = kind;
  return node;
}

// Nesting deeper than this (groups, "!" chains, abbreviations) is refused, so that neither the
// parser nor the compiler can exhaust the stack on a hostile pattern.
constexpr int kMaxDepth = 100;

const wchar_t* AbbreviationExpansion(wchar_t letter) {
  switch (letter) {
    case L'a': return L"([a-zA-Z0-9])";
    case L'b': return L"([ \t])";
    case L'c': return L"([a-zA-Z])";
    case L'd': return L"([0-9])";
    case L'h': return L"([0-9a-fA-F])";
    case L'n': return L"(\r|(\r?\n))";
    case L'q': return L"(\"[^\"]*\")|('[^']*')";
    case L'w': return L"([a-zA-Z]+)";
    case L'z': return L"([0-9]+)";
    default: return nullptr;
  }
}

class Parser {
 public:
  // `groupsOpened` and `sets` are shared with nested parsers of abbreviations.
  Parser(std::wstring_view text, int& groupsOpened, std::vector<CharSet>& sets, bool& hasBackref)
      : p_(text), groupsOpened_(groupsOpened), sets_(sets), hasBackref_(hasBackref) {}

  // Parses the whole text. `outer` allows "^" at the start and "$" at the end.
  NodePtr ParseAll(bool outer, int depth, bool& anchored, std::string& error) {
    anchored = false;
    if (outer && !p_.empty() && p_[0] == L'^') {
      anchored = true;
      i_ = 1;
    }
    outer_ = outer;
    NodePtr root = ParseAlternation(depth);
    if (root && i_ < p_.size()) Fail(p_[i_] == L')' || p_[i_] == L'}' ? "unmatched closing bracket" : "unexpected character");
    if (!error_.empty()) {
      error = error_ + " at offset " + std::to_string(i_);
      return nullptr;
    }
    return root;
  }

 private:
  bool AtEnd() const { return i_ >= p_.size(); }
  void Fail(const char* what) {
    if (error_.empty()) error_ = what;
  }

  NodePtr ParseAlternation(int depth) {
    if (depth > kMaxDepth) {
      Fail("nesting too deep");
      return nullptr;
    }
    NodePtr first = ParseConcat(depth);
    if (!first) return nullptr;
    if (AtEnd() || p_[i_] != L'|') return first;
    NodePtr alt = MakeNode(Node::kAlt);
    alt->kids.push_back(std::move(first));
    while (!AtEnd() && p_[i_] == L'|') {
      ++i_;
      NodePtr next = ParseConcat(depth);
      if (!next) return nullptr;
      alt->kids.push_back(std::move(next));
    }
    return alt;
  }

  NodePtr ParseConcat(int depth) {
    NodePtr concat = MakeNode(Node::kConcat);
    while (!AtEnd()) {
      wchar_t c = p_[i_];
      if (c == L'|' || c == L')' || c == L'}') break;
      if (c == L'$' && outer_ && i_ + 1 == p_.size()) {
        ++i_;
        concat->kids.push_back(MakeNode(Node::kEnd));
        break;
      }
      NodePtr piece = ParsePiece(depth);
      if (!piece) return nullptr;
      concat->kids.push_back(std::move(piece));
    }
    if (concat->kids.size() == 1) return std::move(concat->kids[0]);
    if (concat->kids.empty()) return MakeNode(Node::kEmpty);
    return concat;
  }

  NodePtr ParsePiece(int depth) {
    if (depth > kMaxDepth) {
      Fail("nesting too deep");
      return nullptr;
    }
    if (p_[i_] == L'!') {
      ++i_;
      if (AtEnd() || p_[i_] == L'|' || p_[i_] == L')' || p_[i_] == L'}') {
        Fail("\"!\" without an element");
        return nullptr;
      }
      NodePtr inner = ParsePiece(depth + 1);
      if (!inner) return nullptr;
      NodePtr node = MakeNode(Node::kNotAhead);
      node->kids.push_back(std::move(inner));
      return node;
    }
    NodePtr atom = ParseAtom(depth);
    if (!atom) return nullptr;
    if (AtEnd()) return atom;
    Node::Kind kind;
    switch (p_[i_]) {
      case L'*': kind = Node::kStar; break;
      case L'+': kind = Node::kPlus; break;
      case L'?': kind = Node::kQuest; break;
      default: return atom;
    }
    ++i_;
    NodePtr repeat = MakeNode(kind);
    if (!AtEnd() && p_[i_] == L'?') {
      repeat->greedy = false;
      ++i_;
    }
    if (!AtEnd() && (p_[i_] == L'*' || p_[i_] == L'+' || p_[i_] == L'?')) {
      Fail("repetition of a repetition");
      return nullptr;
    }
    repeat->kids.push_back(std::move(atom));
    return repeat;
  }

  NodePtr ParseAtom(int depth) {
    wchar_t c = p_[i_++];
    switch (c) {
      case L'*':
      case L'+':
      case L'?':
        --i_;
        Fail("repetition without an element");
        return nullptr;
      case L'.':
        return MakeNode(Node::kAny);
      case L'[':
        return ParseSet();
      case L'{':
      case L'(': {
        NodePtr group = MakeNode(Node::kGroup);
        if (c == L'{') group->index = groupsOpened_++;
        NodePtr inner = ParseAlternation(depth + 1);
        if (!inner) return nullptr;
        wchar_t close = c == L'{' ? L'}' : L')';
        if (AtEnd() || p_[i_] != close) {
          Fail(c == L'{' ? "capture group without \"}\"" : "group without \")\"");
          return nullptr;
        }
        ++i_;
        group->kids.push_back(std::move(inner));
        return group;
      }
      case L'\\':
        return ParseEscape(depth);
      default: {
        NodePtr node = MakeNode(Node::kChar);
        node->c = c;
        return node;
      }
    }
  }

  NodePtr ParseEscape(int depth) {
    if (AtEnd()) {
      Fail("pattern ends with a backslash");
      return nullptr;
    }
    wchar_t c = p_[i_++];
    if (c >= L'0' && c <= L'9') {
      int group = c - L'0';
      if (group >= groupsOpened_) {
        --i_;
        Fail("reference to a group that does not exist yet");
        return nullptr;
      }
      NodePtr node = MakeNode(Node::kBackref);
      node->index = group;
      hasBackref_ = true;
      return node;
    }
    if (const wchar_t* expansion = AbbreviationExpansion(c)) {
      Parser nested(expansion, groupsOpened_, sets_, hasBackref_);
      bool anchored = false;
      std::string error;
      NodePtr inner = nested.ParseAll(false, depth + 1, anchored, error);
      if (!inner) {
        Fail("abbreviation does not compile");
        return nullptr;
      }
      NodePtr group = MakeNode(Node::kGroup);
      group->kids.push_back(std::move(inner));
      return group;
    }
    NodePtr node = MakeNode(Node::kChar);
    node->c = c;
    return node;
  }

  // After "[": members up to the closing "]".
  NodePtr ParseSet() {
    CharSet set;
    if (!AtEnd() && p_[i_] == L'^') {
      set.negated = true;
      ++i_;
    }
    for (;;) {
      if (AtEnd()) {
        Fail("set without \"]\"");
        return nullptr;
      }
      if (p_[i_] == L']') {
        ++i_;
        break;
      }
      wchar_t low;
      if (!SetMember(low)) return nullptr;
      wchar_t high = low;
      if (i_ + 1 < p_.size() && p_[i_] == L'-' && p_[i_ + 1] != L']') {
        ++i_;
        if (!SetMember(high)) return nullptr;
        if (high < low) {
          Fail("range out of order");
          return nullptr;
        }
      }
      set.ranges.emplace_back(low, high);
    }
    NodePtr node = MakeNode(Node::kSet);
    node->index = int32_t(sets_.size());
    sets_.push_back(std::move(set));
    return node;
  }

  bool SetMember(wchar_t& out) {
    wchar_t c = p_[i_++];
    if (c != L'\\') {
      out = c;
      return true;
    }
    if (AtEnd()) {
      Fail("set without \"]\"");
      return false;
    }
    c = p_[i_++];
    out = c == L't' ? L'\t' : c;
    return true;
  }

  std::wstring_view p_;
  size_t i_ = 0;
  bool outer_ = false;
  int& groupsOpened_;
  std::vector<CharSet>& sets_;
  bool& hasBackref_;
  std::string error_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// 3. Compiler
// ---------------------------------------------------------------------------------------------

struct HeaderPattern::Program {
  std::vector<Inst> insts;
  std::vector<CharSet> sets;
  int32_t groups = 0;
  int32_t rows = 0;  // instructions with a memo row
  bool anchored = false;
  bool hasBackref = false;
};

namespace {

class Compiler {
 public:
  explicit Compiler(HeaderPattern::Program& program) : prog_(program) {}

  void Compile(const Node& root) {
    Emit(root);
    Push(Op::kMatch);
    // Each "!" element runs as a sub-program of its own that ends in its own kMatch.
    for (size_t k = 0; k < lookaheads_.size(); ++k) {
      prog_.insts[lookaheads_[k].first].x = int32_t(prog_.insts.size());
      Emit(*lookaheads_[k].second);
      Push(Op::kMatch);
    }
    for (auto& inst : prog_.insts) {
      if (inst.op == Op::kSplit || inst.op == Op::kNotAhead) inst.row = prog_.rows++;
    }
  }

 private:
  int32_t Push(Op op, int32_t x = 0, int32_t y = 0) {
    Inst inst;
    inst.op = op;
    inst.x = x;
    inst.y = y;
    prog_.insts.push_back(inst);
    return int32_t(prog_.insts.size() - 1);
  }
  int32_t Here() const { return int32_t(prog_.insts.size()); }
  // A lazy repetition prefers the way out; a greedy one the way in.
  void SetBranches(int32_t split, int32_t in, int32_t out, bool greedy) {
    prog_.insts[split].x = greedy ? in : out;
    prog_.insts[split].y = greedy ? out : in;
  }

  void Emit(const Node& node) {
    switch (node.kind) {
      case Node::kEmpty:
        break;
      case Node::kChar:
        prog_.insts[Push(Op::kChar)].c = node.c;
        break;
      case Node::kAny:
        Push(Op::kAny);
        break;
      case Node::kSet:
        Push(Op::kSet, node.index);
        break;
      case Node::kBackref:
        Push(Op::kBackref, node.index);
        break;
      case Node::kEnd:
        Push(Op::kAssertEnd);
        break;
      case Node::kGroup:
        if (node.index >= 0) Push(Op::kSave, 2 * node.index);
        Emit(*node.kids[0]);
        if (node.index >= 0) Push(Op::kSave, 2 * node.index + 1);
        break;
      case Node::kConcat:
        for (const auto& kid : node.kids) Emit(*kid);
        break;
      case Node::kAlt: {
        std::vector<int32_t> jumps;
        for (size_t k = 0; k + 1 < node.kids.size(); ++k) {
          int32_t split = Push(Op::kSplit);
          prog_.insts[split].x = Here();
          Emit(*node.kids[k]);
          jumps.push_back(Push(Op::kJmp));
          prog_.insts[split].y = Here();
        }
        Emit(*node.kids.back());
        for (int32_t jump : jumps) prog_.insts[jump].x = Here();
        break;
      }
      case Node::kStar: {
        int32_t split = Push(Op::kSplit);
        Emit(*node.kids[0]);
        Push(Op::kJmp, split);
        SetBranches(split, split + 1, Here(), node.greedy);
        break;
      }
      case Node::kPlus: {
        int32_t body = Here();
        Emit(*node.kids[0]);
        int32_t split = Push(Op::kSplit);
        SetBranches(split, body, split + 1, node.greedy);
        break;
      }
      case Node::kQuest: {
        int32_t split = Push(Op::kSplit);
        Emit(*node.kids[0]);
        SetBranches(split, split + 1, Here(), node.greedy);
        break;
      }
      case Node::kNotAhead:
        lookaheads_.emplace_back(Push(Op::kNotAhead, -1), node.kids[0].get());
        break;
    }
  }

  HeaderPattern::Program& prog_;
  std::vector<std::pair<int32_t, const Node*>> lookaheads_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// 4. Matcher
// ---------------------------------------------------------------------------------------------
//
// A run follows the preferred branch of every split first and keeps a stack of the splits it
// passed (with the other branch still to try) and of the capture slots to restore. A state is an
// (instruction, position) pair; only splits and "!" elements are remembered, as rows of three bit
// tables over the positions 0..n:
//   onPath   the split is on the current stack at that position (an empty loop coming back
//            to it adds nothing and is cut);
//   failed   every way on from this state was tried and none matched;
//   matched  (sub-programs of "!" only) some way on from this state matches.
// Without back references whether a state leads to a match does not depend on how it was
// reached, so a failed state is never explored twice: not from another start position, not by a
// later search of the same scan. A split whose failure depended on a cut loop back to a state
// still on the stack below it is not marked failed; the failure is settled when the state it
// depended on is exhausted.

namespace {

// Bits for (row, position) pairs, laid out position by position: a run moves along the text,
// so the rows it consults at one place share a cache line.
class BitTable {
 public:
  void Reset(size_t rows, size_t columns) {
    rows_ = rows;
    bits_.assign((rows * columns + 63) / 64, 0);
  }
  bool Get(int32_t row, int32_t col) const {
    size_t k = size_t(col) * rows_ + size_t(row);
    return (bits_[k >> 6] >> (k & 63)) & 1;
  }
  void Set(int32_t row, int32_t col) {
    size_t k = size_t(col) * rows_ + size_t(row);
    bits_[k >> 6] |= uint64_t(1) << (k & 63);
  }
  void Clear(int32_t row, int32_t col) {
    size_t k = size_t(col) * rows_ + size_t(row);
    bits_[k >> 6] &= ~(uint64_t(1) << (k & 63));
  }

 private:
  size_t rows_ = 0;
  std::vector<uint64_t> bits_;
};

enum class RunResult { kMatch, kFail, kAborted };

struct Frame {
  bool branch;       // a split (else: a capture slot to restore)
  bool pendingAlt;   // branch: its other way is still to try
  int32_t a;         // branch: the split's instruction; restore: the slot
  int32_t b;         // branch: the position; restore: the slot's old value
  int32_t taint;     // branch: lowest stack index of a state cut below it (INT32_MAX: none)
};

}  // namespace

struct PatternSearch::State {
  const HeaderPattern::Program* prog = nullptr;  // null: nothing can match
  std::wstring_view text;
  int32_t n = 0;
  bool memo = false;
  BitTable onPath, failed, matched;
  uint64_t work = 0;
  uint64_t budget = 0;
  bool limitReached = false;
  bool done = false;
  int32_t from = 0;
  std::vector<int32_t> caps;
  std::vector<Frame> mainStack;
  int32_t matchEnd = 0;

  wchar_t At(int32_t pos) const { return LowerAscii(text[size_t(pos)]); }

  // Index of the branch frame for (pc, pos) on `stack`; branch positions never decrease upwards.
  static int32_t FindOnStack(const std::vector<Frame>& stack, int32_t pc, int32_t pos) {
    for (size_t k = stack.size(); k-- > 0;) {
      const Frame& f = stack[k];
      if (!f.branch) continue;
      if (f.b < pos) break;
      if (f.a == pc && f.b == pos) return int32_t(k);
    }
    return 0;  // not reached: onPath says it is there
  }

  void UnwindPath(std::vector<Frame>& stack, bool markMatched) {
    for (const Frame& f : stack) {
      if (!f.branch) continue;
      int32_t row = prog->insts[size_t(f.a)].row;
      onPath.Clear(row, f.b);
      if (markMatched) matched.Set(row, f.b);
    }
    stack.clear();
  }

  bool BackrefMatches(int32_t group, int32_t& pos) const {
    int32_t start = caps.size() > size_t(2 * group + 1) ? caps[size_t(2 * group)] : -1;
    int32_t end = start >= 0 ? caps[size_t(2 * group + 1)] : -1;
    if (start < 0 || end < start) return false;
    int32_t length = end - start;
    if (length > n - pos) return false;
    for (int32_t k = 0; k < length; ++k) {
      if (At(start + k) != At(pos + k)) return false;
    }
    pos += length;
    return true;
  }

  // Does the "!" element at `pc` match at `pos`? Sub-programs see the captures of the run that
  // reached them (for back references) and may not change them.
  RunResult Lookahead(int32_t pc, int32_t pos, bool& elementMatches) {
    const Inst& inst = prog->insts[size_t(pc)];
    if (memo) {
      if (matched.Get(inst.row, pos)) {
        elementMatches = true;
        return RunResult::kMatch;
      }
      if (failed.Get(inst.row, pos)) {
        elementMatches = false;
        return RunResult::kMatch;
      }
    }
    std::vector<int32_t> saved = caps;
    std::vector<Frame> stack;
    RunResult r = Run(inst.x, pos, stack, true);
    caps = std::move(saved);
    if (r == RunResult::kAborted) return r;
    elementMatches = r == RunResult::kMatch;
    if (memo) (elementMatches ? matched : failed).Set(inst.row, pos);
    return RunResult::kMatch;
  }

  RunResult Run(int32_t pc, int32_t pos, std::vector<Frame>& stack, bool sub) {
    const std::vector<Inst>& insts = prog->insts;
    for (;;) {
      // Forwards until this way fails (or the program matches).
      int32_t cut = INT32_MAX;
      for (;;) {
        if (++work > budget) {
          limitReached = true;
          UnwindPath(stack, false);
          return RunResult::kAborted;
        }
        const Inst& inst = insts[size_t(pc)];
        bool ok = true;
        switch (inst.op) {
          case Op::kChar:
            ok = pos < n && At(pos) == inst.c;
            if (ok) ++pos, ++pc;
            break;
          case Op::kAny:
            ok = pos < n;
            if (ok) ++pos, ++pc;
            break;
          case Op::kSet:
            ok = pos < n && prog->sets[size_t(inst.x)].Contains(At(pos));
            if (ok) ++pos, ++pc;
            break;
          case Op::kJmp:
            pc = inst.x;
            break;
          case Op::kSave:
            stack.push_back(Frame{false, false, inst.x, caps[size_t(inst.x)], 0});
            caps[size_t(inst.x)] = pos;
            ++pc;
            break;
          case Op::kBackref:
            ok = BackrefMatches(inst.x, pos);
            if (ok) ++pc;
            break;
          case Op::kAssertEnd:
            ok = pos == n;
            if (ok) ++pc;
            break;
          case Op::kNotAhead: {
            bool elementMatches = false;
            if (Lookahead(pc, pos, elementMatches) == RunResult::kAborted) {
              UnwindPath(stack, false);
              return RunResult::kAborted;
            }
            ok = !elementMatches;
            if (ok) ++pc;
            break;
          }
          case Op::kMatch:
            matchEnd = pos;
            UnwindPath(stack, sub && memo);
            return RunResult::kMatch;
          case Op::kSplit:
            if (memo && failed.Get(inst.row, pos)) {
              ok = false;
            } else if (sub && memo && matched.Get(inst.row, pos)) {
              UnwindPath(stack, true);
              return RunResult::kMatch;
            } else if (onPath.Get(inst.row, pos)) {
              cut = FindOnStack(stack, pc, pos);
              ok = false;
            } else {
              onPath.Set(inst.row, pos);
              stack.push_back(Frame{true, true, pc, pos, INT32_MAX});
              pc = inst.x;
            }
            break;
        }
        if (!ok) break;
      }
      // Backwards to the latest split with a way left to try.
      int32_t taint = cut;
      for (;;) {
        if (stack.empty()) return RunResult::kFail;
        Frame& f = stack.back();
        if (!f.branch) {
          caps[size_t(f.a)] = f.b;
          stack.pop_back();
          continue;
        }
        f.taint = std::min(f.taint, taint);
        taint = INT32_MAX;
        if (f.pendingAlt) {
          f.pendingAlt = false;
          pc = insts[size_t(f.a)].y;
          pos = f.b;
          break;
        }
        int32_t index = int32_t(stack.size() - 1);
        int32_t row = insts[size_t(f.a)].row;
        onPath.Clear(row, f.b);
        if (f.taint >= index) {
          if (memo) failed.Set(row, f.b);
        } else {
          taint = f.taint;
        }
        stack.pop_back();
      }
    }
  }
};

PatternSearch::PatternSearch(const HeaderPattern& pattern, std::wstring_view text, size_t from)
    : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.text = text;
  bool usable = pattern.IsValid() && text.size() <= kMaxTextLength && from <= text.size();
  s.prog = usable ? pattern.program_.get() : nullptr;
  if (!s.prog) {
    s.done = true;
    return;
  }
  s.n = int32_t(text.size());
  s.from = int32_t(from);
  s.memo = !s.prog->hasBackref;
  size_t columns = size_t(s.n) + 1;
  s.onPath.Reset(size_t(s.prog->rows), columns);
  if (s.memo) {
    s.failed.Reset(size_t(s.prog->rows), columns);
    s.matched.Reset(size_t(s.prog->rows), columns);
  }
  // Without back references each remembered state is explored once and leads through at most
  // the whole program before the next one; the budget only stops the pathological cases.
  uint64_t units = uint64_t(s.prog->insts.size()) * columns;
  if (s.memo) units *= uint64_t(s.prog->rows) + 1;
  s.budget = std::max(kMinWork, kWorkPerUnit * units);
}

PatternSearch::~PatternSearch() = default;

bool PatternSearch::WorkLimitReached() const { return state_->limitReached; }

bool PatternSearch::Next(PatternMatch& match) {
  State& s = *state_;
  if (s.done) return false;
  const int32_t last = s.prog->anchored ? std::min<int32_t>(s.from, 0) : s.n;
  // A pattern that begins with a character can only match where that character is.
  const Inst& first = s.prog->insts[0];
  const bool literalStart = first.op == Op::kChar;
  for (int32_t start = s.from; start <= last; ++start) {
    if (literalStart && (start == s.n || s.At(start) != first.c)) continue;
    s.caps.assign(size_t(2 * s.prog->groups), -1);
    RunResult r = s.Run(0, start, s.mainStack, false);
    if (r == RunResult::kAborted) break;
    if (r == RunResult::kFail) continue;
    match.begin = size_t(start);
    match.end = size_t(s.matchEnd);
    match.groups.assign(s.caps.size(), PatternMatch::kUnset);
    for (size_t g = 0; g + 1 < s.caps.size(); g += 2) {
      if (s.caps[g] >= 0 && s.caps[g + 1] >= s.caps[g]) {
        match.groups[g] = size_t(s.caps[g]);
        match.groups[g + 1] = size_t(s.caps[g + 1]);
      }
    }
    s.from = s.matchEnd > start ? s.matchEnd : start + 1;
    if (s.matchEnd >= s.n || s.from > s.n) s.done = true;
    return true;
  }
  s.done = true;
  return false;
}

// ---------------------------------------------------------------------------------------------
// 5. Public interface
// ---------------------------------------------------------------------------------------------

HeaderPattern::HeaderPattern(const std::wstring& pattern) {
  if (pattern.empty()) {
    error_ = "empty pattern";
    return;
  }
  std::wstring lowered = LowerAscii(pattern);
  auto program = std::make_unique<Program>();
  int groups = 0;
  Parser parser(lowered, groups, program->sets, program->hasBackref);
  NodePtr root = parser.ParseAll(true, 0, program->anchored, error_);
  if (!root) return;
  program->groups = groups;
  Compiler(*program).Compile(*root);
  program_ = std::move(program);
}

HeaderPattern::~HeaderPattern() = default;
HeaderPattern::HeaderPattern(HeaderPattern&&) noexcept = default;
HeaderPattern& HeaderPattern::operator=(HeaderPattern&&) noexcept = default;

bool HeaderPattern::IsValid() const { return program_ != nullptr; }
const std::string& HeaderPattern::ParseError() const { return error_; }
size_t HeaderPattern::GroupCount() const { return program_ ? size_t(program_->groups) : 0; }

bool HeaderPattern::Search(std::wstring_view text, size_t from, PatternMatch& match) const {
  PatternSearch search(*this, text, from);
  return search.Next(match);
}

bool CollectCaptures(const std::wstring& pattern, const std::wstring& text, std::vector<std::wstring>& captures) {
  captures.clear();
  if (pattern.empty() || text.empty()) return false;
  HeaderPattern compiled(pattern);
  if (!compiled.IsValid()) return false;
  PatternSearch search(compiled, text);
  std::unordered_set<std::wstring> seen;  // lowered values
  PatternMatch match;
  while (search.Next(match)) {
    if (!match.HasGroup(0)) continue;
    std::wstring value = text.substr(match.groups[0], match.groups[1] - match.groups[0]);
    if (seen.insert(LowerAscii(value)).second) captures.push_back(std::move(value));
  }
  return true;
}
