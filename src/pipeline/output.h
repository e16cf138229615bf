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
  ~Output();
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

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
  // The log file open for appending under its name now, or -1.
  int LogFile(const std::string& name);
  void CloseLog();

  Client& client_;
  EscapeStripper stripper_;
  std::string log_buffer_;
  // The log stays open between pieces of text while its name still leads
  // to the file that was opened.
  int log_fd_ = -1;
  std::string log_name_;
  unsigned long long log_dev_ = 0;
  unsigned long long log_ino_ = 0;
};

// Every stretch from a hidden-line marker up to and including the next LF
// is removed.
std::string RemoveHiddenLines(std::string_view text);

}  // namespace tarnel
