// The timers of the main window: the tick and the one-second count-down of
// the "timers." variables.  (The completion timer belongs to the command
// line, which asks the core for the completion itself.)

#include "interp/client.h"
#include "text/numbers.h"

namespace tarnel {

namespace {

constexpr std::string_view kTimers = "timers.";

// One second of the one-shot timers: a timer that runs out is removed and
// its command run, and the entry that moved into its place is looked at
// next; every other count goes down by one.  A command that sets its own
// timer again repeats.
void CountDownTimers(Client& c) {
  TStringList& vars = c.store.Variables();
  bool lowered = false;
  for (int k = 0; k < vars.Count();) {
    const std::string line(vars[k]);
    if (!line.starts_with(kTimers)) {
      ++k;
      continue;
    }
    const auto eq = line.find('=');
    const std::string command =
        line.substr(kTimers.size(), eq == std::string::npos ? std::string::npos : eq - kTimers.size());
    const std::string_view rest =
        eq == std::string::npos ? std::string_view() : std::string_view(line).substr(eq + 1);
    const long double count = text::ReadFloat(rest).value_or(0);
    if (count <= 1) {
      vars.DeleteAt(k);
      c.ExecuteCommand(command, false);
      continue;
    }
    vars.SetValueAt(k, text::FormatGeneral(count - 1));
    lowered = true;
    ++k;
  }
  if (lowered) c.RefreshPanels();
}

}  // namespace

void Client::OnTimer(TimerId id) {
  switch (id) {
    case TimerId::Tick:
      // Nothing is made up for ticks that fell while disconnected.
      if (connection.Active()) ExecuteCommand(store.Var("global._tickstring"), true);
      break;
    case TimerId::Second:
      CountDownTimers(*this);
      break;
    case TimerId::Completion:
      host.CompletionDue();
      break;
  }
}

}  // namespace tarnel
