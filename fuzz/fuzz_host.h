// What every fuzz target over the whole client shares: a headless host and
// one client per process that is put back to its starting state between
// inputs, so an input pays for what it does and not for a client start-up
// (two screens with 1800 history lines, the default profile, the command
// table).
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

#include "interp/client.h"
#include "interp/host.h"
#include "script/script_store.h"
#include "script/string_list.h"
#include "terminal/screen.h"

namespace tarnel::fuzz {

// A host without a window: a fixed clock, a socket that sends nowhere, and
// terminals and a socket that keep what they get when asked to.  Its
// message pump plays a player who stops what runs too long: after a budget
// of pumps per input, or once the batch has filled the window with more
// text than a budget, it types "/breakall" into the running batch, so a
// loop that is allowed to run for ever ("/while (1)", "/99999999 x") ends,
// and so do a runaway recursion and a trigger that feeds its own line back
// doubled.
class FuzzHost : public Host {
 public:
  std::tm Now() const override;
  void ProcessMessages() override;
  void BusyIndicatorChanged(char c) override;
  void TerminalWritten(TerminalId id, std::string_view text) override;
  void SocketOpen(const std::string& host, int port) override;
  void SocketClose() override { ++socket_closes; }
  void SocketSend(std::string_view bytes) override;
  void SetSecretInput(bool on) override { secret_input = on; }
  void RequestClose() override { close_requested = true; }
  std::string ExecutableDir() const override;
  std::string UserConfigDir() const override;

  // Forgets what the last input left.
  void Reset();

  Client* client = nullptr;
  long pumps = 0;
  long pump_budget = 64;
  std::size_t shown = 0;  // bytes the main terminal got
  std::size_t shown_budget = std::size_t{4} << 20;
  // Statements nested deeper than this (0: no bound) are stopped, the way
  // a player stops a script that calls itself: the loop is let run once
  // as the next statement starts (a nested file runs its first statement
  // before any turn of the loop, so the whole descent would come first).
  int depth_budget = 0;
  int breakalls = 0;  // how often the player had to stop a batch
  bool keep_main = false;  // collect the main terminal's text in `main`
  std::string main;
  bool keep_sent = false;  // collect the socket's bytes in `sent`
  std::string sent;
  std::size_t sent_bytes = 0;
  int socket_opens = 0;
  int socket_closes = 0;
  bool secret_input = false;
  bool close_requested = false;

 private:
  bool pending_connect_ = false;
  bool typing_ = false;
};

// Brings a screen back to how a client shows it after start-up, without
// making its lines anew: cursor, colours, modes, scroll region, escape
// state and, with `blank`, the rows on screen.  The history keeps old text,
// which nothing in the core reads; it is kept full, so its use never
// changes.
void ResetScreen(TScreen& screen, bool blank);

// One client with the default profile, the log switched off and both
// screens normalised.  A target seeds its store and calls SaveBaseline();
// after every input it calls Reset(), so that what an input allocated is
// freed within it (libFuzzer's leak check counts on that).
class FuzzClient {
 public:
  FuzzClient();
  FuzzClient(const FuzzClient&) = delete;
  FuzzClient& operator=(const FuzzClient&) = delete;

  // The store, the stats and the settings every input starts from.
  void SaveBaseline();
  // Puts back what an input changed: lists whose change stamp moved are
  // copied back from the baseline; the connection (disconnected), the
  // incoming pipeline, the output and the display filter start afresh; the
  // screens are reset and the map is emptied.  Traps when the input left the
  // command depth raised.
  void Reset();

  FuzzHost host;
  Client client;
  // The main screen's rows are blanked by Reset() (only "/highlight" reads
  // them).
  bool blank_main = true;

 private:
  ScriptStore baseline_;
  TStringList baseline_stats_;
  TStringList baseline_settings_;
  bool baseline_mccp_ = false;
};

}  // namespace tarnel::fuzz
