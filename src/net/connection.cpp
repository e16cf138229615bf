#include "net/connection.h"

#include "interp/client.h"
#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

void Connection::SendLine(std::string_view word, std::string_view rest, bool echo) {
  std::string line;
  if (word.size() >= 2 && word[0] == '/' && word[1] == '/') word.remove_prefix(1);
  line.append(word);
  if (!rest.empty()) line.append(" ").append(rest);
  if (echo) client_.PrintText(line + "\r\n");
  if (active_)
    Send(line + "\r");
  else
    client_.Message("Соединение не установлено."_cp);
  client_.host.ProcessMessages();
}

void Connection::Send(std::string_view bytes) { client_.host.SocketSend(bytes); }

void Connection::OnConnected() { active_ = true; }

void Connection::OnDisconnected() { active_ = false; }

}  // namespace tarnel
