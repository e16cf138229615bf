// The conditions of "/if" and "/while".
//
// A condition is text: every comparison in it is reduced to a one-byte truth
// mark, and the marks are then combined with "and", "or" and "not" from left
// to right, without precedence.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "script/string_list.h"

namespace tarnel {

class Client;

// The condition with its outer parentheses, e.g. "((%hp<100)and(%mv>10))".
// Variables and user functions are substituted first; a comparison whose
// left side is not a valid formula reports it and compares 0.
bool EvaluateCondition(Client& client, std::string_view condition, TStringList& LocalVars,
                       TStringList& LocalFuncs);

// The two halves of the evaluation, open to the tests: the framed text with
// every comparison replaced by its truth mark (1 true, 2 false), and the
// truth of a text of marks, parentheses and the signs "&", "|" and "!".
using ComparisonFn = std::function<bool(std::string_view)>;
std::string ReduceComparisons(std::string s, const ComparisonFn& compare);
bool ReduceLogic(std::string s);

}  // namespace tarnel
