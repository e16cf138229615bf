#include "fuzz_host.h"

#include <memory>
#include <utility>
#include <vector>

#include "fuzz_sandbox.h"

namespace tarnel::fuzz {

std::tm FuzzHost::Now() const {
  std::tm t{};
  t.tm_mday = 7;
  t.tm_mon = 11;
  t.tm_year = 2026 - 1900;
  t.tm_hour = 9;
  t.tm_min = 5;
  return t;
}

void FuzzHost::ProcessMessages() {
  ++pumps;
  if (client == nullptr) return;
  // The player types "/breakall" into the running batch (once: its own
  // pumps type nothing).
  Interpreter& in = client->interp;
  const bool too_deep = depth_budget > 0 && in.CommandDepth > depth_budget;
  if ((pumps > pump_budget || shown > shown_budget || too_deep) && in.CommandDepth > 0 &&
      !in.AbortRequested && !typing_) {
    typing_ = true;
    ++breakalls;
    client->ExecuteCommand("/breakall", true);
    typing_ = false;
  }
  // A connection attempt is answered at the next turn of the loop, in the
  // middle of whatever batch is running, as the platform's socket does.
  if (pending_connect_) {
    pending_connect_ = false;
    client->connection.OnConnecting();
    client->connection.OnConnected();
  }
}

void FuzzHost::BusyIndicatorChanged(char) {
  if (client == nullptr || depth_budget <= 0 || typing_) return;
  const Interpreter& in = client->interp;
  if (in.CommandDepth > depth_budget && !in.AbortRequested) client->ProcessMessages();
}

void FuzzHost::TerminalWritten(TerminalId id, std::string_view text) {
  if (id != TerminalId::Main) return;
  shown += text.size();
  if (keep_main) main.append(text);
}

void FuzzHost::SocketOpen(const std::string&, int) {
  ++socket_opens;
  pending_connect_ = true;
}

void FuzzHost::SocketSend(std::string_view bytes) {
  sent_bytes += bytes.size();
  if (keep_sent) sent.append(bytes);
}

std::string FuzzHost::ExecutableDir() const { return SandboxDir(); }
std::string FuzzHost::UserConfigDir() const { return SandboxDir(); }

void FuzzHost::Reset() {
  pumps = 0;
  shown = 0;
  breakalls = 0;
  main.clear();
  sent.clear();
  sent_bytes = 0;
  socket_opens = socket_closes = 0;
  secret_input = false;
  close_requested = false;
  pending_connect_ = false;
}

void ResetScreen(TScreen& s, bool blank) {
  s.TranslateIn = false;
  // A run of literal bytes and an unfinished escape sequence end first.
  if (s.LiteralCount() > 0) s.FeedText(std::string(static_cast<std::size_t>(s.LiteralCount()), ' '));
  s.CancelEscape();
  // Whole-screen region, plain colours, no saved cursor (a restore
  // forgets it), an empty colour stack.
  s.FeedText("\x1b[r\x1b[0m\x1b" "8");
  for (int k = s.AttrDepth(); k >= 0; --k) s.FeedText("\x1b[82m");
  s.CurAttr = kDefaultAttribute;
  s.InputTable = s.OutputTable = &kAsciiTable;
  s.TranslateInitial = false;
  s.AutoLF = s.AutoCR = false;
  s.WrapAtMargin = true;
  s.CursorHidden = false;
  s.ScreenCols = 80;
  s.Options = 0;
  s.BackColor = 0;
  if (blank) s.BlankScreen();
  s.CursorRow = s.CursorCol = 0;
  s.ScrollCount = 0;
  s.ResetDirty();
}

FuzzClient::FuzzClient() : client(host) {
  host.client = &client;
  client.DefaultProfile();
  // No file is written for every line of output.
  TStringList& vars = client.store.Variables();
  vars.Put(vars.IndexOfName("global._logfile"), "global._logfile=");
  // Present from the start, so that an input switching it on changes a
  // value, not the layout of the list (which is cheaper to put back).
  vars.SetValue("global._telnet", "off");
  client.RefreshPanels();
  for (TScreen* s : {&client.main_screen, &client.history_screen}) {
    // Full history from the start: the first input sees what every later
    // one sees.
    s->ResizeRows(25);
    s->FeedText(std::string(static_cast<std::size_t>(s->HistoryRows() + s->ScreenRows()), '\n'));
    ResetScreen(*s, true);
  }
  SaveBaseline();
}

void FuzzClient::SaveBaseline() {
  client.RefreshPanels();
  baseline_ = client.store;
  baseline_stats_ = client.StatsList;
  baseline_settings_ = client.settings;
  baseline_mccp_ = client.MccpEnabled();
}

namespace {

template <typename T, typename... Args>
void Renew(T& object, Args&... args) {
  std::destroy_at(&object);
  std::construct_at(&object, args...);
}

// Puts a list back.  While its layout is the baseline's, only values
// changed, and they are put back one by one (a copy would rebuild both
// indexes).  Returns whether lines came, went or were renamed.
//
// Either way the list ends up with the blocks a fresh copy of the baseline
// has, whatever the input did: a line put back is a new string, and a list
// is replaced by a new copy rather than assigned over (an assignment keeps
// longer strings and hash nodes from earlier inputs).  So an input that
// frees what it allocated makes as many allocations as it frees, and
// libFuzzer's leak check (a run again, then a scan of the whole heap, for
// every input that does not) stays quiet.
bool Restore(TStringList& list, const TStringList& baseline) {
  if (list.Changes() == baseline.Changes()) return false;
  if (list.LayoutChanges() == baseline.LayoutChanges() && list.Count() == baseline.Count()) {
    for (int i = 0; i < list.Count(); ++i)
      if (list[i] != baseline[i]) list.Put(i, baseline[i]);
    return false;
  }
  list = TStringList(baseline);
  return true;
}

}  // namespace

void FuzzClient::Reset() {
  Interpreter& in = client.interp;
  // Every batch lowers what it raised, however it ended.
  if (in.CommandDepth != 0) __builtin_trap();
  in.BreakRequested = in.BreakAllRequested = false;
  bool restored = false;
  for (int k = 0; k < kEntryKindCount; ++k) {
    const auto kind = static_cast<EntryKind>(k);
    restored |= Restore(client.store.List(kind), baseline_.List(kind));
  }
  restored |= Restore(client.store.Preview(), baseline_.Preview());
  Restore(client.StatsList, baseline_stats_);
  Restore(client.settings, baseline_settings_);
  client.display_filter = DisplayFilterState();
  // The inflate buffer is the one thing a new connection would allocate
  // anew for every input (64 KiB): it holds nothing, so it stays.
  std::vector<char> scratch = std::move(client.connection.Mccp().scratch);
  Renew(client.connection, client);
  client.connection.Mccp().scratch = std::move(scratch);
  Renew(client.incoming, client);
  Renew(client.output, client);
  ResetScreen(client.main_screen, blank_main);
  ResetScreen(client.history_screen, false);
  // No rooms, no current room, numbering from the start and the view as a
  // new client has it (the grid only forgets the slots it filled).
  MapModel& m = client.map;
  if (m.CellList.Count() > 0 || !m.LayoutGrid.FilledSlots().empty()) m.ClearRooms();
  m.SetCurrent(nullptr);
  m.LastId = 0;
  m.pass = 0;
  m.view = MapViewState();
  // The refresh prunes groups, which only a changed layout can call for,
  // and takes the compression switch from the store.
  if (restored || client.MccpEnabled() != baseline_mccp_) client.RefreshPanels();
  host.Reset();
}

}  // namespace tarnel::fuzz
