// The command line's memory: the last 500 lines entered, walked with Up and
// Down among the lines that begin with what the player typed.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "script/string_list.h"

namespace tarnel {

class CommandHistory {
 public:
  static constexpr int kMaxEntries = 500;

  // Enter: the line is stored unless it repeats the last one, or unless it
  // must not be kept (a password).
  void Entered(std::string_view line, bool keep = true);
  // The text changed by typing, pasting or the program.
  void Changed(std::string_view text);
  // Up: the entry to show, or nothing when nothing changes.
  std::optional<std::string> Back();
  // Down: the entry to show; an empty optional means the line is emptied
  // (which counts as a change of the text).
  std::optional<std::string> Forward();

  const TStringList& Entries() const { return entries_; }
  int Index() const { return index_; }
  const std::string& Prefix() const { return prefix_; }

 private:
  TStringList entries_;
  int index_ = 0;
  std::string prefix_;
};

}  // namespace tarnel
