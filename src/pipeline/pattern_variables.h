// Variable references in a trigger pattern, substituted for every line.
//
// The interpreter's substitution looks every name up again each time; a
// trigger loop would do that for every pattern on every line.  Here the
// pattern is taken apart once, each reference remembers where its variable
// stands while the variables list keeps its layout, and the finished
// pattern is kept while the values it was made from stay the same.  The
// result is always the interpreter's substitution with no local variables
// (a test holds the two together).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnel {

class TStringList;

class PatternVariables {
 public:
  explicit PatternVariables(std::string_view pattern);

  // The pattern with every reference replaced as the interpreter would;
  // changed is set when it differs from the last result.
  const std::string& Substitute(TStringList& vars, bool& changed);

  // The full names of the variables referenced ("default." added).
  std::vector<std::string_view> Names() const;

 private:
  struct Reference {
    std::string full;   // the variable's full name ("default." added)
    std::string name;   // as written
    bool call = false;  // a "(" follows: left alone when no variable has the name
    int index = -1;     // position in the variables list
    std::uint64_t layout = 0;
    bool resolved = false;
    std::string line;   // the variable's whole line last time
    std::string value;  // what it gave last time
    bool found = false;
  };
  // Literal text, then a reference (or none at the end).
  struct Piece {
    std::string text;
    int reference = -1;
  };

  std::vector<Piece> pieces_;
  std::vector<Reference> references_;
  std::string result_;
  bool built_ = false;
};

}  // namespace tarnel
