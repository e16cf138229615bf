#include "interp/client.h"

#include "stats/stats_database.h"
#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

std::string_view ClientVersion() { return "1.0"; }

Client::Client(Host& h)
    : host(h), interp(*this), output(*this), connection(*this), incoming(*this) {
  // The main terminal keeps 300 rows of history, the history view 1500; both
  // paint their history on black and show "EmulVT" until it scrolls away.
  main_screen.ResizeHistory(300);
  history_screen.ResizeHistory(1500);
  for (TScreen* s : {&main_screen, &history_screen}) {
    s->Options = 0;
    s->BackColor = 0;
    s->WrapAtMargin = true;
    s->OnBeep = [this] { host.Beep(); };
    s->OnDebug = [this](std::string_view text) { host.DebugOutput(text); };
    s->FeedText("EmulVT\r\n");
  }
}

void Client::ParseStats(std::string_view text) {
  // Collected game text without an item name stores nothing.
  StoreStats(StatsList, text);
}

void Client::ParamError(std::string_view word) {
  Message(std::string("Ошибка в параметрах, /man "_cp) + std::string(word) +
          std::string(" для справки."_cp));
}

void Client::RefreshPanels() {
  mccp_enabled_ = store.VarOn("global._mccp");
  const std::string caption = store.Var("global._caption");
  if (!caption.empty() && caption != host.Title()) host.SetTitle(caption);
  host.RedrawMap();
  store.PruneGroups();
  if (editor.Visible) editor.Refresh(store);
  workbench.Refresh(store);
  host.RefreshPanels();
}

void Client::ProcessMessages() {
  ++interp.Pumping;
  try {
    host.ProcessMessages();
  } catch (...) {
    --interp.Pumping;
    throw;
  }
  --interp.Pumping;
}


}  // namespace tarnel
