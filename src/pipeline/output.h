// Text on its way to the player: the main terminal, the history view and the
// log file.
#pragma once

#include <string>
#include <string_view>

#include "pipeline/escape_stripper.h"

namespace tarnel {

class Client;

class Output {
 public:
  explicit Output(Client& client) : client_(client) {}

  // The one road to the main terminal: hidden lines removed, written to the
  // main terminal and the history view, appended to the log.
  void PrintText(std::string_view text);

  // "\e[0;37m** 07.12.2026 09:05 ** " text "\r\n"
  std::string SystemMessage(std::string_view text) const;

  // A line written straight to the main terminal, bypassing history and log.
  void WriteMainDirect(std::string_view text);

  EscapeStripper& Stripper() { return stripper_; }

 private:
  void WriteLog(std::string_view text);

  Client& client_;
  EscapeStripper stripper_;
  std::string log_buffer_;
};

// Every stretch from a hidden-line marker up to and including the next LF
// is removed.
std::string RemoveHiddenLines(std::string_view text);

}  // namespace tarnel
