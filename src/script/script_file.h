// Script files: hand-written or saved profiles turned into statements.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/exact_line.h"

namespace tarnel {

// The two passes over the lines of a script file: comments and blank lines
// go, quoted lines become "/do", blocks opened at the end of a line are
// joined into one statement, "}" and "else" lines join the line before.  A
// block that no later line closes is not joined: its line stays a statement
// of its own, and the lines after it stay theirs.
std::vector<std::string> PrepareScriptLines(std::vector<std::string> lines);

// One statement of a script file: a text for the interpreter, or an entry in
// the exact form, which is set as it stands.
struct ScriptStep {
  std::string text;
  std::optional<ExactLine> exact;
};

// The statements of a script file's lines.  A line in the exact form is a
// statement of its own: the passes work on the lines between such lines,
// so no block, "}" or "else" reaches across one.
std::vector<ScriptStep> ReadScript(std::vector<std::string> lines);

// The brace depth at the end of a line as the joining pass counts it: "{"
// up and "}" down, and a quote (double or single) that opens where the
// depth is 0 or below hides everything up to the next quote of its kind.
std::int64_t BraceDepth(std::string_view line);

}  // namespace tarnel
