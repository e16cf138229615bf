// The conditions of "/if" and "/while".
//
// A condition is text: every comparison in it is reduced to a one-byte truth
// mark, and the marks are then combined with "and", "or" and "not" from left
// to right, without precedence.
#pragma once

#include <string_view>

#include "script/string_list.h"

namespace tarnel {

class Client;

// The condition with its outer parentheses, e.g. "((%hp<100)and(%mv>10))".
// Variables and user functions are substituted first; a comparison whose
// left side is not a valid formula reports it and compares 0.
bool EvaluateCondition(Client& client, std::string_view condition, TStringList& LocalVars,
                       TStringList& LocalFuncs);

}  // namespace tarnel
