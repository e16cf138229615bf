#include "interp/condition.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "interp/client.h"
#include "interp/formula.h"
#include "interp/words.h"
#include "text/cp1251.h"
#include "text/numbers.h"

namespace tarnel {

using namespace literals;

namespace {

constexpr char kTrue = 1;
constexpr char kFalse = 2;

bool IsQuote(char c) { return c == '"' || c == '\''; }
bool IsOperatorChar(char c) {
  return c == '!' || c == '<' || c == '=' || c == '>' || c == '~';
}

enum class Op { Equal, NotEqual, Contains, NotContains, Less, LessEqual, Greater, GreaterEqual };

struct Operand {
  bool is_string = false;
  std::string text;
};

// A quoted operand runs to the next quote of the same kind; an unquoted one
// up to the next operator character.  Nothing when it is malformed.
std::optional<Operand> ReadOperand(std::string_view s, std::size_t& pos) {
  Operand op;
  if (pos < s.size() && IsQuote(s[pos])) {
    const auto close = s.find(s[pos], pos + 1);
    if (close == std::string_view::npos) return std::nullopt;
    op.is_string = true;
    op.text.assign(s.substr(pos + 1, close - pos - 1));
    pos = close + 1;
    return op;
  }
  std::size_t end = pos;
  while (end < s.size() && !IsOperatorChar(s[end])) ++end;
  op.text.assign(s.substr(pos, end - pos));
  pos = end;
  if (op.text.empty()) return std::nullopt;
  // Dates and versions ("12.05.2006") are not numbers and must not pass as
  // formulas.
  std::size_t dots = 0;
  for (char c : op.text) dots += c == '.';
  if (dots >= 2) return std::nullopt;
  return op;
}

std::optional<Op> ReadOperator(std::string_view s, std::size_t& pos) {
  auto at = [&](std::size_t k) { return pos + k < s.size() ? s[pos + k] : '\0'; };
  const char a = at(0);
  const char b = at(1);
  std::size_t len = 1;
  Op op;
  switch (a) {
    case '!':
      if (b == '=') op = Op::NotEqual;
      else if (b == '~') op = Op::NotContains;
      else return std::nullopt;
      len = 2;
      break;
    case '<':
      op = b == '=' ? Op::LessEqual : Op::Less;
      len = b == '=' ? 2 : 1;
      break;
    case '>':
      op = b == '=' ? Op::GreaterEqual : Op::Greater;
      len = b == '=' ? 2 : 1;
      break;
    case '=':
      op = Op::Equal;
      len = b == '=' ? 2 : 1;
      break;
    case '~':
      op = Op::Contains;
      len = b == '=' ? 2 : 1;
      break;
    default:
      return std::nullopt;
  }
  pos += len;
  return op;
}

// A plain decimal number, whatever the process locale; 0 otherwise.
long double TextAsNumber(std::string_view s) {
  if (!text::ReadFloat(s)) return 0;
  std::size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  if (b < e && s[b] == '+') ++b;
  long double v = 0;
  std::from_chars(s.data() + b, s.data() + e, v);
  return std::isfinite(v) ? v : 0;
}

// The value of an unquoted operand; a formula that fails is reported and
// counts as 0.
long double FormulaValue(Client& client, const std::string& operand) {
  if (auto v = EvaluateFormula(operand)) return *v;
  client.Message(std::string("Ошибка в формуле "_cp) + operand + ".");
  return 0;
}

bool CompareNumbers(Op op, long double l, long double r) {
  switch (op) {
    case Op::Equal: return l == r;
    case Op::NotEqual: return l != r;
    case Op::Less: return l < r;
    case Op::LessEqual: return l <= r;
    case Op::Greater: return l > r;
    case Op::GreaterEqual: return l >= r;
    case Op::Contains:
    case Op::NotContains: break;
  }
  return false;
}

bool Contains(std::string_view l, std::string_view r) {
  return !r.empty() && l.find(r) != std::string_view::npos;
}

// Text order looks at one byte only: the first that differs within the
// shorter length (at most 255), or the last of that length.
bool CompareTexts(Op op, std::string_view l, std::string_view r) {
  switch (op) {
    case Op::Equal: return r.empty() ? l.empty() : l.substr(0, r.size()) == r;
    case Op::NotEqual: return !(r.empty() ? l.empty() : l.substr(0, r.size()) == r);
    case Op::Contains: return Contains(l, r);
    case Op::NotContains: return !Contains(l, r);
    default: break;
  }
  std::size_t len = std::min<std::size_t>(std::min(l.size(), r.size()), 255);
  int diff = 0;
  if (len > 0) {
    std::size_t k = 0;
    while (k + 1 < len && l[k] == r[k]) ++k;
    diff = static_cast<int>(static_cast<unsigned char>(l[k])) -
           static_cast<int>(static_cast<unsigned char>(r[k]));
  }
  switch (op) {
    case Op::Less: return diff < 0;
    case Op::LessEqual: return diff <= 0;
    case Op::Greater: return diff > 0;
    case Op::GreaterEqual: return diff >= 0;
    default: return false;
  }
}

// One comparison, such as "%hp<100" or "\"abc\"~\"b\"".
bool Compare(Client& client, std::string_view text) {
  const std::string s = TrimBlanks(text);
  if (s.empty()) return true;
  std::size_t pos = 0;
  const auto left = ReadOperand(s, pos);
  if (!left) return false;
  // Read before the right side, so the message comes in the order of the text.
  long double left_value = 0;
  if (!left->is_string) left_value = FormulaValue(client, left->text);
  if (s.size() - pos <= 1) return false;
  const auto op = ReadOperator(s, pos);
  if (!op) return false;
  if (pos >= s.size()) return false;
  const auto right = ReadOperand(s, pos);
  if (!right || pos != s.size()) return false;

  if (left->is_string) return CompareTexts(*op, left->text, right->text);
  // A number on the left makes it a comparison of numbers.  An unquoted
  // right side is a formula like the left one (so "%hp<%max/2" works); it
  // is only computed here, where its value is used.
  const long double right_value =
      right->is_string ? TextAsNumber(right->text) : FormulaValue(client, right->text);
  if (*op == Op::Contains || *op == Op::NotContains) {
    const bool found = Contains(text::FormatGeneral(left_value), text::FormatGeneral(right_value));
    return *op == Op::Contains ? found : !found;
  }
  return CompareNumbers(*op, left_value, right_value);
}

// Whether the "(" at i only opens negations of a bracketed group, as in
// "(not(...))" or "(!(...))": that is logic, not a comparison.
bool OpensNegation(const std::string& s, std::size_t i) {
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

}  // namespace

// Every comparison in the framed text, replaced by its truth mark.
//
// Step by step, the innermost comparison still in text goes first: the
// leftmost "(" of the greatest depth that is followed by neither a mark, a
// "(" nor a negation, up to the first ")" outside quotes after it.  Putting
// a mark in place of a comparison changes nothing for the other candidates
// (their depths, what follows them, the quotes), so the order is known from
// one scan and each comparison's text is walked once.  The one exception is
// a comparison that took in a "(" of its own: the parentheses then no longer
// balance, and the whole condition is false.
std::string ReduceComparisons(std::string s, const ComparisonFn& compare) {
  const std::size_t n = s.size();
  struct Candidate {
    std::size_t pos;
    int depth;
  };
  std::vector<Candidate> candidates;
  bool quoted = false;
  int depth = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = s[i];
    if (IsQuote(c)) {
      quoted = !quoted;
    } else if (quoted) {
      continue;
    } else if (c == '(') {
      ++depth;
      const char next = i + 1 < n ? s[i + 1] : '(';
      if (depth >= 1 && next != kTrue && next != kFalse && next != '(' && !OpensNegation(s, i))
        candidates.push_back({i, depth});
    } else if (c == ')') {
      --depth;
    }
  }
  if (depth != 0) return std::string{'(', kFalse, ')'};
  if (candidates.empty()) return s;
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.depth > b.depth; });

  // The text as a chain: next[i] is the byte after i, and a "(" whose
  // comparison was done carries its mark.
  std::vector<std::size_t> next(n + 1);
  for (std::size_t i = 0; i <= n; ++i) next[i] = i + 1;
  std::vector<char> mark(n, 0);
  std::string text;
  for (const Candidate& cand : candidates) {
    text.clear();
    int opened = 0;
    bool q = false;
    std::size_t j = next[cand.pos];
    for (; j < n; j = next[j]) {
      const char c = s[j];
      if (IsQuote(c)) {
        q = !q;
      } else if (!q && c == ')') {
        break;
      } else if (!q && c == '(') {
        ++opened;
      }
      text += c;
      if (mark[j] != 0) text += mark[j];
    }
    mark[cand.pos] = compare(text) ? kTrue : kFalse;
    if (opened > 0) return std::string{'(', kFalse, ')'};
    next[cand.pos] = std::min(j, n);
  }
  std::string out;
  out.reserve(n);
  for (std::size_t i = 0; i < n; i = next[i]) {
    out += s[i];
    if (mark[i] != 0) out += mark[i];
  }
  return out;
}

namespace {

// The marks and operators of a group without parentheses, from left to
// right: each step takes the first mark, the operator after it and the mark
// after that, and puts the result in their place.
char EvaluateGroup(std::string_view g) {
  if (g.empty()) return kFalse;
  char a = g[0];
  std::size_t i = 1;  // what is left is a followed by g[i..]
  while (g.size() - i + 1 > 2) {
    const char op = g[i], b = g[i + 1];
    char r = a;
    if (op == '&')
      r = (a == kFalse || b == kFalse) ? kFalse : kTrue;
    else if (op == '|')
      r = (a == kTrue || b == kTrue) ? kTrue : kFalse;
    a = r;
    i += 2;
    // A false "and" settles the whole group.
    if (op == '&' && r == kFalse) break;
  }
  return g.size() - i + 1 == 1 ? a : kFalse;
}

bool ReplaceOnce(std::string& s, std::string_view from, char to) {
  const auto p = s.find(from);
  if (p == std::string::npos) return false;
  s.replace(p, from.size(), 1, to);
  return true;
}

// Combines the innermost group of marks.  False when the whole text has been
// reduced.
bool LogicStep(std::string& s) {
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
  const char r = EvaluateGroup(std::string_view(s).substr(recorded + 1, end - recorded - 1));
  s.replace(recorded, end - recorded + 1, 1, r);
  return true;
}

}  // namespace

// The truth of the text once every comparison is a mark and the operator
// words are signs.  Step by step the text is rewritten: "(" mark ")" and
// "!" mark give way to a mark wherever they stand, then the innermost group
// is combined, until one byte is left.  The rewrites never overlap, so in a
// text whose parentheses nest properly the result is that of combining each
// group as its ")" arrives, in one pass; anything else goes step by step.
bool ReduceLogic(std::string s) {
  int depth = 0, open = 0, close = 0;
  bool nested = true;
  for (char c : s) {
    if (c == '(') ++open, ++depth;
    if (c == ')') ++close, --depth;
    if (depth < 0) nested = false;
  }
  if (open != close) return false;
  if (!nested) {
    while (LogicStep(s)) {
    }
    return s.size() == 1 && s[0] == kTrue;
  }
  auto push = [](std::string& frame, char c) {
    frame += c;
    // "!" before a mark turns it over, as often as it stands there.
    while (frame.size() >= 2 && (frame.back() == kTrue || frame.back() == kFalse) &&
           frame[frame.size() - 2] == '!') {
      const char m = frame.back() == kTrue ? kFalse : kTrue;
      frame.resize(frame.size() - 2);
      frame += m;
    }
  };
  std::vector<std::string> frames(1);
  for (char c : s) {
    if (c == '(') {
      frames.emplace_back();
    } else if (c == ')') {
      const char r = EvaluateGroup(frames.back());
      frames.pop_back();
      push(frames.back(), r);
    } else {
      push(frames.back(), c);
    }
  }
  return EvaluateGroup(frames.front()) == kTrue;
}

bool EvaluateCondition(Client& client, std::string_view condition, TStringList& LocalVars,
                       TStringList& LocalFuncs) {
  std::string s;
  s.reserve(condition.size() + 2);
  bool quoted = false;
  for (char c : condition) {
    if (c == '"') quoted = !quoted;
    if (c != ' ' || quoted) s += c;
  }
  s = client.interp.SubstituteVariables(s, LocalVars);
  s = client.interp.SubstituteFunctions(s, LocalVars, LocalFuncs);
  s = "(" + s + ")";
  s = ReduceComparisons(std::move(s), [&](std::string_view text) { return Compare(client, text); });
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  s = ReplaceAll(s, "AND", "&");
  s = ReplaceAll(s, "OR", "|");
  s = ReplaceAll(s, "NOT", "!");
  return ReduceLogic(std::move(s));
}

}  // namespace tarnel
