// Function names for log lines, from the compiler's full signature (__PRETTY_FUNCTION__):
//
//   "void CMainWnd::DownloadComponent(int)"                 -> "CMainWnd::DownloadComponent"
//   "static GlobalConfig* GlobalConfig::Instance()"         -> "GlobalConfig::Instance"
//   "std::map<int, int> Cache<T>::Get(int) const [with T = int]" -> "Cache<T>::Get"
//   "bool Path::operator<(const Path&) const"               -> "Path::operator<"
//   "Buffer::operator bool() const"                         -> "Buffer::operator bool"
//   "CMainWnd::OnPrepare()::<lambda()>"                     -> "CMainWnd::OnPrepare::<lambda()>"
//   "void (anonymous namespace)::Helper()"                  -> "(anonymous namespace)::Helper"
//
// The signature is read once, left to right, keeping track of nesting in <>, () and []: the name
// is what stands between the last space at nesting level 0 and the first "(" at level 0 (the
// parameter list). Operator names are skipped over as a whole, so that their "<", ">" or "()"
// do not count as nesting.
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>

#include "foundation/logger.h"

namespace rezorev {
namespace {

bool IsIdentifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// If "operator" starts at s[i] as a whole word, returns the index just past the operator's
// symbol ("operator<<" -> after "<<", "operator()" -> after "()"); a conversion or new/delete
// operator ("operator bool") returns the index after the word, the rest reads as usual.
size_t SkipOperator(const std::string& s, size_t i) {
  static const char kWord[] = "operator";
  const size_t wordLength = sizeof kWord - 1;
  if (s.compare(i, wordLength, kWord) != 0) return i;
  if (i > 0 && IsIdentifierChar(s[i - 1])) return i;
  size_t j = i + wordLength;
  if (j < s.size() && IsIdentifierChar(s[j])) return i;  // "operatorX" is an ordinary name
  if (s.compare(j, 2, "()") == 0 || s.compare(j, 2, "[]") == 0) return j + 2;
  while (j < s.size() && std::strchr("<>=!+-*/%^&|~,", s[j]) != nullptr) ++j;
  return j;
}

struct NameSpan {
  size_t begin = 0;
  size_t end = 0;       // index of the parameter list's "(" (or the end of the text)
  size_t afterParameters = std::string::npos;  // index just past the matching ")"
};

NameSpan FindName(const std::string& s) {
  NameSpan span;
  span.end = s.size();
  int depth = 0;
  bool inOperatorName = false;
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (depth == 0 && (c == 'o')) {
      size_t next = SkipOperator(s, i);
      if (next != i) {
        inOperatorName = true;  // spaces from here on belong to the name ("operator bool")
        i = next - 1;
        continue;
      }
    }
    if (c == '<' || c == '[' || c == '{') {
      ++depth;
    } else if (c == '>' || c == ']' || c == '}') {
      if (depth > 0) --depth;
    } else if (c == '(') {
      if (depth == 0 && s.compare(i, 21, "(anonymous namespace)") == 0) {
        i += 20;
        continue;
      }
      if (depth == 0) {
        span.end = i;
        int parens = 0;
        for (size_t j = i; j < s.size(); ++j) {
          if (s[j] == '(') ++parens;
          if (s[j] == ')' && --parens == 0) {
            span.afterParameters = j + 1;
            break;
          }
        }
        return span;
      }
      ++depth;
    } else if (c == ')') {
      if (depth > 0) --depth;
    } else if (c == ' ' && depth == 0 && !inOperatorName) {
      span.begin = i + 1;
    }
  }
  return span;
}

}  // namespace

std::string QualifiedFunctionName(const char* prettyFunction) {
  if (prettyFunction == nullptr) return std::string();
  std::string s = prettyFunction;
  size_t with = s.find(" [with ");
  if (with != std::string::npos) s.erase(with);

  NameSpan span = FindName(s);
  std::string name = s.substr(span.begin, span.end - span.begin);
  // A function inside a function (a lambda's call operator, a local class's member) continues
  // after the enclosing function's parameter list with "::".
  if (span.afterParameters != std::string::npos && s.compare(span.afterParameters, 2, "::") == 0) {
    name += "::" + QualifiedFunctionName(s.c_str() + span.afterParameters + 2);
  }
  return name;
}

const char* LogFunctionName(const char* prettyFunction) {
  // Keyed by the signature's address: each function has its own constant, so the map holds one
  // entry per logging function. Never destroyed: statements may complete during exit.
  static std::mutex* lock = new std::mutex;
  static auto* names = new std::unordered_map<const char*, std::string>;
  std::lock_guard<std::mutex> guard(*lock);
  auto found = names->find(prettyFunction);
  if (found == names->end()) {
    found = names->emplace(prettyFunction, QualifiedFunctionName(prettyFunction)).first;
  }
  return found->second.c_str();
}

}  // namespace rezorev
