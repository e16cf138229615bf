// The little telnet handling the client does on received text: an escaped
// 0xFF data byte (IAC IAC) becomes one 0xFF, and IAC GA becomes the marker
// 0x01 0x01 that ends a prompt line.  Every other telnet command stays in the
// text.
#pragma once

#include <string>
#include <string_view>

namespace tarnel {

class TelnetPass {
 public:
  // Runs the pass over one received chunk.  An IAC at the very end of the
  // chunk may be the first half of a pair, so it waits for the next chunk:
  // where the stream was cut must not change what the player sees.
  std::string Pass(std::string_view chunk);

  // The held-back IAC, if any, for the end of a connection.
  std::string Flush();
  void Reset() { held_iac_ = false; }

 private:
  bool held_iac_ = false;
};

}  // namespace tarnel
