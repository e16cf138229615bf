// Removes ANSI escape sequences from a byte stream.  The same state serves
// the log (where it carries over from one output to the next) and the
// building of clean incoming lines, which saves and restores it around its
// own use.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnel {

class EscapeStripper {
 public:
  enum class Mode { Log, Line };

  struct State {
    bool inside = false;
    unsigned char length = 0;
    char buffer[255] = {};
  };

  // Feeds one byte; returns true when the byte is text (to be written out or
  // appended to the clean line).  Sets overflowed when a sequence grew to
  // 255 bytes and was abandoned.
  bool Feed(unsigned char c, bool& overflowed);

  // Strips a whole text in log mode; returns how many sequences were
  // abandoned for being too long.
  int StripInto(std::string_view text, std::string& out);

  // Where the sequence that the ESC at `esc` starts ends, read from
  // outside any sequence: the position of the first byte after it (the
  // text's size when it is still open there).  What Feed would do byte by
  // byte, without keeping the sequence.
  static std::size_t SequenceEnd(std::string_view text, std::size_t esc);

  const State& Save() const { return state_; }
  void Restore(const State& s) { state_ = s; }
  void Reset() { state_ = State(); }
  bool Inside() const { return state_.inside; }

 private:
  void End() {
    state_.inside = false;
    state_.length = 0;
  }
  State state_;
};

}  // namespace tarnel
