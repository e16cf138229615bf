#include "interp/client.h"

#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

std::string_view ClientVersion() { return "1.0"; }

Client::Client(Host& h) : host(h), interp(*this), output(*this), connection(*this) {}

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
  host.RefreshPanels();
}

void Client::OnTimer(TimerId) {}

}  // namespace tarnel
