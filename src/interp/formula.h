// Arithmetic formulas: "/set x=(2+3)*4", and the numbers compared by
// conditions.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarnel {

class TCalcExpress {
 public:
  enum class Kind {
    Add, Subtract, Multiply, Divide, Number, Negate, Power,
    Cos, Sin, Tg, Ctg, Abs, Sgn, Sqrt, Ln, Exp, ArcSin, ArcCos, ArcTg, ArcCtg,
    Sh, Ch, Th, Cth, Heaviside,
  };
  struct Node {
    Kind kind;
    std::unique_ptr<Node> left;
    std::unique_ptr<Node> right;
    long double number = 0;
  };

  TCalcExpress();
  // Lower-cases and parses; a formula that does not parse leaves no tree.
  void SetFormula(std::string_view formula);
  bool Valid() const { return tree_ != nullptr; }
  // The value, or nothing when there is no tree or the arithmetic fails.
  std::optional<long double> Evaluate() const;

 private:
  std::string formula_;
  std::unique_ptr<Node> tree_;
};

// The value of a formula, or nothing when it is invalid or cannot be
// computed ("Ошибка в формуле.").
std::optional<long double> EvaluateFormula(std::string_view formula);

}  // namespace tarnel
