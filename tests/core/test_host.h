// A host for the core's tests: a fixed clock, terminals that collect text,
// a socket that records what is sent, and a message pump that runs queued
// events, so re-entry can be tested as it happens in the window.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "interp/client.h"
#include "interp/host.h"

namespace tarnel::test {

class TestHost : public Host {
 public:
  std::tm Now() const override {
    std::tm t{};
    t.tm_mday = 7;
    t.tm_mon = 11;
    t.tm_year = 2026 - 1900;
    t.tm_hour = 9;
    t.tm_min = 5;
    return t;
  }
  void ProcessMessages() override {
    ++pumps;
    if (pump.empty()) return;
    auto event = std::move(pump.front());
    pump.pop_front();
    event();
  }
  void TerminalWritten(TerminalId id, std::string_view text) override {
    (id == TerminalId::Main ? main : history).append(text);
  }
  void RepaintTerminal(TerminalId id) override {
    if (id == TerminalId::Main) ++main_repaints;
  }
  void SocketSend(std::string_view bytes) override { sent.emplace_back(bytes); }
  void StartTimer(TimerId id, int interval_ms) override { timers[id] = interval_ms; }
  void StopTimer(TimerId id) override { timers[id] = -1; }
  void RequestClose() override { close_requested = true; }
  void Beep() override { ++beeps; }
  std::string ExecutableDir() const override { return dir; }
  std::string UserConfigDir() const override { return dir; }

  std::string main;
  std::string history;
  std::vector<std::string> sent;
  std::deque<std::function<void()>> pump;
  std::map<TimerId, int> timers;
  int pumps = 0;
  int main_repaints = 0;
  int beeps = 0;
  bool close_requested = false;
  std::string dir = ".";
};

// A Windows-1251 literal as a string.  (A variable initialised with
// std::string("..."_cp) directly crashes clang 14; through a function it
// does not.)
inline std::string Cp(std::string_view cp1251) { return std::string(cp1251); }

// Text for humans: UTF-8, ESC as \e, CR LF as a line break, other control
// bytes spelled out, and the fixed stamp as <stamp>.
std::string Render(std::string_view cp1251);

}  // namespace tarnel::test
