// Session scripts: one command per line, run from the top for every
// connection.  The language is described in README.md beside this file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnel::testserver {

struct Step {
  enum class Op {
    Send,           // bytes, through the compressor when one runs
    Raw,            // bytes straight to the wire, past the compressor
    Split,          // write what is queued, then pause number ms
    Chunk,          // cut later writes into number bytes, pause ms between
    Sleep,          // number ms
    Expect,         // bytes from the client within number ms
    ExpectEof,      // the client hangs up within number ms
    StartCompress,  // MCCP version number
    EndCompress,
    Echo,  // on when number is 1
    Close,
  };

  Op op = Op::Send;
  std::string bytes;
  int number = 0;
  int pause_ms = 0;
  int line = 0;        // in the script, for diagnostics
  std::string source;  // the script line itself
};

struct Script {
  std::vector<Step> steps;
  size_t longest_expect = 0;
};

// Reads the whole script; a malformed line makes it fail with the line's
// number in error, before any client connects.
bool ParseScript(std::string_view text, Script& script, std::string& error);

}  // namespace tarnel::testserver
