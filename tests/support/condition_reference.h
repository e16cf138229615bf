// The reduction of conditions written the plain way, step by step over the
// whole text, exactly as the rules read.  Tests hold the real one, which
// does the same work in one pass, against it.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tarnel::test::condition_reference {

constexpr char kTrue = 1;
constexpr char kFalse = 2;

inline bool IsQuote(char c) { return c == '"' || c == '\''; }

// Whether the "(" at i only opens negations of a bracketed group, as in
// "(not(...))" or "(!(...))": that is logic, not a comparison.
inline bool OpensNegation(const std::string& s, std::size_t i) {
  std::size_t j = i + 1;
  bool negated = false;
  for (;;) {
    if (j < s.size() && s[j] == '!') {
      ++j;
    } else if (j + 2 < s.size() && (s[j] | 0x20) == 'n' && (s[j + 1] | 0x20) == 'o' &&
               (s[j + 2] | 0x20) == 't') {
      j += 3;
    } else {
      break;
    }
    negated = true;
  }
  return negated && j < s.size() && s[j] == '(';
}

// Replaces the innermost comparison that is still text by its truth mark.
// False when there was nothing left to compare.
inline bool ComparisonStep(const std::function<bool(std::string_view)>& compare, std::string& s) {
  bool quoted = false;
  int depth = 0;
  int recorded_depth = 0;
  std::size_t recorded = std::string::npos;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (IsQuote(c)) {
      quoted = !quoted;
    } else if (quoted) {
      continue;
    } else if (c == '(') {
      ++depth;
      const char next = i + 1 < s.size() ? s[i + 1] : '(';
      if (depth > recorded_depth && next != kTrue && next != kFalse && next != '(' &&
          !OpensNegation(s, i)) {
        recorded_depth = depth;
        recorded = i;
      }
    } else if (c == ')') {
      --depth;
    }
  }
  if (depth != 0) {
    s = std::string{'(', kFalse, ')'};
    return false;
  }
  if (recorded == std::string::npos) return false;
  quoted = false;
  std::size_t close = recorded + 1;
  for (; close < s.size(); ++close) {
    const char c = s[close];
    if (IsQuote(c))
      quoted = !quoted;
    else if (!quoted && c == ')')
      break;
  }
  const bool result =
      compare(std::string_view(s).substr(recorded + 1, close - recorded - 1));
  s.replace(recorded + 1, close - recorded - 1, 1, result ? kTrue : kFalse);
  return true;
}

inline char EvaluateGroup(std::string g) {
  while (g.size() > 2) {
    const char a = g[0], op = g[1], b = g[2];
    char r = a;
    if (op == '&')
      r = (a == kFalse || b == kFalse) ? kFalse : kTrue;
    else if (op == '|')
      r = (a == kTrue || b == kTrue) ? kTrue : kFalse;
    g.replace(0, 3, 1, r);
    // A false "and" settles the whole group.
    if (op == '&' && r == kFalse) break;
  }
  return g.size() == 1 ? g[0] : kFalse;
}

inline bool ReplaceOnce(std::string& s, std::string_view from, char to) {
  const auto p = s.find(from);
  if (p == std::string::npos) return false;
  s.replace(p, from.size(), 1, to);
  return true;
}

// Combines the innermost group of marks.  False when the whole text has been
// reduced.
inline bool LogicStep(std::string& s) {
  static constexpr char kParenTrue[] = {'(', kTrue, ')', 0};
  static constexpr char kParenFalse[] = {'(', kFalse, ')', 0};
  static constexpr char kNotTrue[] = {'!', kTrue, 0};
  static constexpr char kNotFalse[] = {'!', kFalse, 0};
  for (bool changed = true; changed;) {
    changed = ReplaceOnce(s, kParenTrue, kTrue) || ReplaceOnce(s, kParenFalse, kFalse) ||
              ReplaceOnce(s, kNotTrue, kFalse) || ReplaceOnce(s, kNotFalse, kTrue);
  }
  int open = 0, close = 0;
  for (char c : s) {
    open += c == '(';
    close += c == ')';
  }
  if (open != close) {
    s.assign(1, kFalse);
    return false;
  }
  int depth = 0;
  int recorded_depth = 0;
  std::size_t recorded = std::string::npos;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '(') {
      ++depth;
      if (depth > recorded_depth && (i + 1 >= s.size() || s[i + 1] != '(')) {
        recorded_depth = depth;
        recorded = i;
      }
    } else if (s[i] == ')') {
      --depth;
    }
  }
  if (recorded == std::string::npos) {
    s.assign(1, EvaluateGroup(s));
    return false;
  }
  const auto end = s.find(')', recorded + 1);
  if (end == std::string::npos) {
    s.assign(1, kFalse);
    return false;
  }
  const char r = EvaluateGroup(s.substr(recorded + 1, end - recorded - 1));
  s.replace(recorded, end - recorded + 1, 1, r);
  return true;
}


// The text after all comparison steps.
inline std::string ReduceComparisons(std::string s,
                                     const std::function<bool(std::string_view)>& compare) {
  while (ComparisonStep(compare, s)) {
  }
  return s;
}

// The truth of the text after all logic steps.
inline bool ReduceLogic(std::string s) {
  while (LogicStep(s)) {
  }
  return s.size() == 1 && s[0] == kTrue;
}

}  // namespace tarnel::test::condition_reference
