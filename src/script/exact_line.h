// A profile line that carries an entry byte for byte.  A plain "set" line
// brings back only what the interpreter leaves alone: a "{" without its
// "}", a ";" or "%" that it acts on, or a line end inside a value would be
// lost or would take the lines after it along.  Such entries are written
// in this form instead, which the loader sets as it stands:
//
//   exact set var {name}={value}
//   exact include {path}
//
// Between the braces "\" and two hex digits stand for one byte; every "\",
// "{", "}" and control byte is written that way, every other byte as it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnel {

struct ExactLine {
  std::string kind_word;  // the kind word of "/set"; empty for an include
  std::string name;       // not used by an include
  std::string value;      // an include's path
};

std::string WriteExactLine(const ExactLine& entry);
// The entry of a line in this form (blanks around it allowed), or nothing
// when the line is anything else.
std::optional<ExactLine> ReadExactLine(std::string_view line);

}  // namespace tarnel
