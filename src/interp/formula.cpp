#include "interp/formula.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "text/case_fold.h"

namespace tarnel {

namespace {

using Node = TCalcExpress::Node;
using Kind = TCalcExpress::Kind;
using NodePtr = std::unique_ptr<Node>;

enum class Tok { Number, Name, Open, Close, Plus, Minus, Star, Slash, Caret, End, Bad };

struct Token {
  Tok tok;
  std::string text;
  long double number = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

std::vector<Token> Tokenize(const std::string& s) {
  std::vector<Token> out;
  std::size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (c == ' ') {
      ++i;
      continue;
    }
    // A minus sign right before a digit at the start or after "(" is part of
    // the number.
    const bool signed_number = c == '-' && i + 1 < s.size() && IsDigit(s[i + 1]) &&
                               (out.empty() || out.back().tok == Tok::Open);
    if (IsDigit(c) || signed_number) {
      const std::size_t start = i;
      if (signed_number) ++i;
      while (i < s.size() && IsDigit(s[i])) ++i;
      if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) ++i;
      }
      if (i < s.size() && s[i] == 'e') {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && IsDigit(s[j])) {
          while (j < s.size() && IsDigit(s[j])) ++j;
          i = j;
        }
      }
      // from_chars reads "." whatever the process locale says (the desktop
      // front end runs under the player's locale, where strtold would stop
      // at the point).  A number beyond the range of the type is refused.
      const std::string text = s.substr(start, i - start);
      long double value = 0;
      const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
      const bool ok = ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
      out.push_back({ok ? Tok::Number : Tok::Bad, text, value});
      continue;
    }
    if (IsLetter(c)) {
      const std::size_t start = i;
      while (i < s.size() && (IsLetter(s[i]) || IsDigit(s[i]))) ++i;
      out.push_back({Tok::Name, s.substr(start, i - start)});
      continue;
    }
    Tok t;
    switch (c) {
      case '(': t = Tok::Open; break;
      case ')': t = Tok::Close; break;
      case '+': t = Tok::Plus; break;
      case '-': t = Tok::Minus; break;
      case '*': t = Tok::Star; break;
      case '/': t = Tok::Slash; break;
      case '^': t = Tok::Caret; break;
      default: t = Tok::Bad; break;
    }
    out.push_back({t, std::string(1, c)});
    ++i;
  }
  out.push_back({Tok::End, {}});
  return out;
}

std::optional<Kind> FunctionKind(const std::string& name) {
  static const struct {
    const char* name;
    Kind kind;
  } kFunctions[] = {
      {"cos", Kind::Cos},       {"sin", Kind::Sin},         {"tg", Kind::Tg},
      {"ctg", Kind::Ctg},       {"abs", Kind::Abs},         {"sgn", Kind::Sgn},
      {"sign", Kind::Sgn},      {"sqrt", Kind::Sqrt},       {"ln", Kind::Ln},
      {"exp", Kind::Exp},       {"arcsin", Kind::ArcSin},   {"arccos", Kind::ArcCos},
      {"arctg", Kind::ArcTg},   {"arcctg", Kind::ArcCtg},   {"sh", Kind::Sh},
      {"ch", Kind::Ch},         {"th", Kind::Th},           {"cth", Kind::Cth},
      {"heaviside", Kind::Heaviside}, {"h", Kind::Heaviside},
  };
  for (const auto& f : kFunctions)
    if (name == f.name) return f.kind;
  return std::nullopt;
}

NodePtr Make(Kind k, NodePtr l = nullptr, NodePtr r = nullptr) {
  auto n = std::make_unique<Node>();
  n->kind = k;
  n->left = std::move(l);
  n->right = std::move(r);
  return n;
}

NodePtr MakeNumber(long double v) {
  auto n = Make(Kind::Number);
  n->number = v;
  return n;
}

class Parser {
 public:
  explicit Parser(std::vector<Token> toks) : toks_(std::move(toks)) {}

  NodePtr Parse() {
    NodePtr e = Expression();
    if (!e || Peek() != Tok::End) return nullptr;
    return e;
  }

 private:
  // Deeper nesting than this is refused rather than risking the stack.
  static constexpr int kMaxNesting = 256;

  Tok Peek() const { return toks_[pos_].tok; }
  Tok Previous() const { return pos_ == 0 ? Tok::End : toks_[pos_ - 1].tok; }

  NodePtr Expression() {
    if (++nesting_ > kMaxNesting) return nullptr;
    NodePtr left = Term();
    while (left && (Peek() == Tok::Plus || Peek() == Tok::Minus)) {
      const Kind k = Peek() == Tok::Plus ? Kind::Add : Kind::Subtract;
      ++pos_;
      NodePtr right = Term();
      if (!right) return nullptr;
      left = Make(k, std::move(left), std::move(right));
    }
    --nesting_;
    return left;
  }

  NodePtr Term() {
    bool negate = false;
    // The sign of a term is only seen at the start or right after "(".
    if ((Peek() == Tok::Plus || Peek() == Tok::Minus) &&
        (pos_ == 0 || Previous() == Tok::Open)) {
      negate = Peek() == Tok::Minus;
      ++pos_;
    }
    NodePtr left = Factor();
    while (left && (Peek() == Tok::Star || Peek() == Tok::Slash)) {
      const Kind k = Peek() == Tok::Star ? Kind::Multiply : Kind::Divide;
      ++pos_;
      NodePtr right = Factor();
      if (!right) return nullptr;
      left = Make(k, std::move(left), std::move(right));
    }
    if (left && negate) left = Make(Kind::Negate, std::move(left));
    return left;
  }

  NodePtr Factor() {
    NodePtr base;
    const Token& t = toks_[pos_];
    if (t.tok == Tok::Open) {
      ++pos_;
      base = Expression();
      if (!base || Peek() != Tok::Close) return nullptr;
      ++pos_;
    } else if (t.tok == Tok::Number) {
      base = MakeNumber(t.number);
      ++pos_;
    } else if (t.tok == Tok::Name) {
      const auto kind = FunctionKind(t.text);
      if (!kind) return nullptr;
      ++pos_;
      if (Peek() != Tok::Open) return nullptr;
      ++pos_;
      NodePtr arg = Expression();
      if (!arg || Peek() != Tok::Close) return nullptr;
      ++pos_;
      base = Make(*kind, std::move(arg));
    } else {
      return nullptr;
    }
    // Exponents: a number, or a number in parentheses; left to right.
    while (Peek() == Tok::Caret) {
      ++pos_;
      NodePtr exponent;
      if (Peek() == Tok::Number) {
        exponent = MakeNumber(toks_[pos_].number);
        ++pos_;
      } else if (Peek() == Tok::Open && pos_ + 2 < toks_.size() &&
                 toks_[pos_ + 1].tok == Tok::Number &&
                 toks_[pos_ + 2].tok == Tok::Close) {
        exponent = MakeNumber(toks_[pos_ + 1].number);
        pos_ += 3;
      } else {
        return nullptr;
      }
      base = Make(Kind::Power, std::move(base), std::move(exponent));
    }
    return base;
  }

  std::vector<Token> toks_;
  std::size_t pos_ = 0;
  int nesting_ = 0;
};

std::optional<long double> Eval(const Node& n) {
  auto arg = [&](const NodePtr& p) -> std::optional<long double> {
    if (!p) return std::nullopt;
    return Eval(*p);
  };
  long double r = 0;
  if (n.kind == Kind::Number) return n.number;
  const auto a = arg(n.left);
  if (!a) return std::nullopt;
  const long double x = *a;
  switch (n.kind) {
    case Kind::Add:
    case Kind::Subtract:
    case Kind::Multiply:
    case Kind::Divide:
    case Kind::Power: {
      const auto b = arg(n.right);
      if (!b) return std::nullopt;
      const long double y = *b;
      if (n.kind == Kind::Add) r = x + y;
      if (n.kind == Kind::Subtract) r = x - y;
      if (n.kind == Kind::Multiply) r = x * y;
      if (n.kind == Kind::Divide) {
        if (y == 0) return std::nullopt;
        r = x / y;
      }
      if (n.kind == Kind::Power) r = std::pow(x, y);
      break;
    }
    case Kind::Negate: r = -x; break;
    case Kind::Cos: r = std::cos(x); break;
    case Kind::Sin: r = std::sin(x); break;
    case Kind::Tg: r = std::tan(x); break;
    case Kind::Ctg: {
      const long double t = std::tan(x);
      if (t == 0) return std::nullopt;
      r = 1 / t;
      break;
    }
    case Kind::Abs: r = std::fabs(x); break;
    case Kind::Sgn: r = x > 0 ? 1 : (x < 0 ? -1 : 0); break;
    case Kind::Sqrt: r = std::sqrt(x); break;
    case Kind::Ln: r = std::log(x); break;
    case Kind::Exp: r = std::exp(x); break;
    case Kind::ArcSin: r = std::asin(x); break;
    case Kind::ArcCos: r = std::acos(x); break;
    case Kind::ArcTg: r = std::atan(x); break;
    case Kind::ArcCtg: r = std::acos(-1.0L) / 2 - std::atan(x); break;
    case Kind::Sh: r = std::sinh(x); break;
    case Kind::Ch: r = std::cosh(x); break;
    case Kind::Th: r = std::tanh(x); break;
    case Kind::Cth: {
      const long double t = std::tanh(x);
      if (t == 0) return std::nullopt;
      r = 1 / t;
      break;
    }
    case Kind::Heaviside: r = x >= 0 ? 1 : 0; break;
    case Kind::Number: break;
  }
  if (!std::isfinite(r)) return std::nullopt;
  return r;
}

}  // namespace

TCalcExpress::TCalcExpress() { SetFormula("0"); }

void TCalcExpress::SetFormula(std::string_view formula) {
  formula_ = text::LowerAscii(formula);
  tree_.reset();
  auto tokens = Tokenize(formula_);
  // No real formula comes near this; a longer one is refused so that the
  // evaluation can never run out of stack.
  if (tokens.size() > 4096) return;
  tree_ = Parser(std::move(tokens)).Parse();
}

std::optional<long double> TCalcExpress::Evaluate() const {
  if (!tree_) return std::nullopt;
  return Eval(*tree_);
}

std::optional<long double> EvaluateFormula(std::string_view formula) {
  TCalcExpress calc;
  calc.SetFormula(formula);
  return calc.Evaluate();
}

}  // namespace tarnel
