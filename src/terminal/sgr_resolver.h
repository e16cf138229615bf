// Turns the client's private colour codes into ordinary ANSI colours for an
// outside terminal.
//
// The client brackets every colour it inserts with "\e[81m" (save the
// current colour) and "\e[82m" (restore it).  A real terminal knows neither,
// so a colour sequence that holds one of them is replaced by a sequence that
// sets the colour the client's own screen would show at that point.  Every
// other byte passes unchanged.  Sequences cut between two texts are handled.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnel {

class SgrResolver {
 public:
  std::string Process(std::string_view text);

  std::uint8_t Attribute() const { return attr_; }

 private:
  // Returns whether the sequence used the private codes.
  bool ApplySgr(std::string_view params);
  std::string AttributeSgr() const;
  void Flush(std::string& out);

  std::uint8_t attr_ = 7;
  bool reverse_ = false;
  std::uint8_t stack_[131] = {};
  int depth_ = -1;

  bool in_escape_ = false;
  std::string seq_;  // bytes after ESC
};

}  // namespace tarnel
