// Script files: hand-written or saved profiles turned into statements.
#pragma once

#include <string>
#include <vector>

namespace tarnel {

// The two passes over the lines of a script file: comments and blank lines
// go, quoted lines become "/do", blocks opened at the end of a line are
// joined into one statement, "}" and "else" lines join the line before.
std::vector<std::string> PrepareScriptLines(std::vector<std::string> lines);

}  // namespace tarnel
