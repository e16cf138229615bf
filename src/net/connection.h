// The one connection to the game server.
#pragma once

#include <string>
#include <string_view>

namespace tarnel {

class Client;

class Connection {
 public:
  explicit Connection(Client& client) : client_(client) {}

  bool Active() const { return active_; }

  // A command line meant for the server: echoed when echo is set, sent with
  // a single CR, or reported when there is no connection.
  void SendLine(std::string_view word, std::string_view rest, bool echo);
  // Bytes to the socket, unchanged.
  void Send(std::string_view bytes);

  // Socket events.
  void OnConnected();
  void OnDisconnected();

 private:
  Client& client_;
  bool active_ = false;
};

}  // namespace tarnel
