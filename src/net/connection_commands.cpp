// Commands of the connection.

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/words.h"
#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

void CmdConnect(Client& c, const CommandCall& call) { CmdNotYet(c, call); }

void CmdDisconnect(Client& c, const CommandCall& call) { CmdNotYet(c, call); }

void CmdSend(Client& c, const CommandCall& call) {
  const std::string text = Unquote(call.params);
  if (c.connection.Active()) {
    c.connection.Send(text + "\r");
    c.host.ProcessMessages();
    c.PrintText(text + "\r\n");
  } else {
    c.PrintText(text + "\r\n");
    c.Message("Соединение не установлено."_cp);
  }
}

}  // namespace tarnel
