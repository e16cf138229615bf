// Commands of the connection.

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/words.h"
#include "text/cp1251.h"
#include "text/numbers.h"

namespace tarnel {

using namespace literals;

void CmdConnect(Client& c, const CommandCall& call) {
  const std::string host = WordAt(call.params, 1);
  const std::int64_t port = text::IntegerOr(WordAt(call.params, 2), 0);
  // A port outside the TCP range would be cut to some other port on the
  // way to the socket, so it is refused like a missing one.
  if (WordCount(call.params) != 2 || host.empty() || port < 1 || port > 65535) {
    c.ParamError("/connect");
    return;
  }
  c.connection.Open(host, static_cast<int>(port));
}

void CmdDisconnect(Client& c, const CommandCall&) { c.connection.Close(); }

void CmdForgetCertificate(Client& c, const CommandCall& call) {
  const std::string host = WordAt(call.params, 1);
  const std::int64_t port = text::IntegerOr(WordAt(call.params, 2), 0);
  if (WordCount(call.params) != 2 || host.empty() || port < 1 || port > 65535) {
    c.ParamError("/forgetcert");
    return;
  }
  const std::string key = Connection::CertificateKey(host, static_cast<int>(port));
  const std::string server = host + ":" + std::to_string(port);
  std::string m;
  m += "Отпечаток сертификата "_cp;
  m += server;
  if (c.settings.IndexOfName(key) < 0) {
    m += " не запомнен."_cp;
    c.Message(m);
    return;
  }
  c.settings.SetValue(key, "");
  c.settings.SaveToFile(c.SettingsPath());
  m += " забыт."_cp;
  c.Message(m);
}

void CmdSend(Client& c, const CommandCall& call) {
  const std::string text = Unquote(call.params);
  if (c.connection.Active()) {
    c.connection.SendText(text);
    c.ProcessMessages();
    // What the server hides (a password) is not shown here either.
    if (!c.connection.ServerEchoes()) c.PrintText(text + "\r\n");
  } else {
    c.PrintText(text + "\r\n");
    c.Message("Соединение не установлено."_cp);
  }
}

}  // namespace tarnel
