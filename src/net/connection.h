// The one connection to the game server: opening and closing it, sending
// lines, and the socket's events, which hand received bytes through the
// compression filter and the telnet pass to the incoming pipeline.
#pragma once

#include <string>
#include <string_view>

#include "net/mccp.h"
#include "net/telnet_pass.h"

namespace tarnel {

class Client;

class Connection {
 public:
  enum class State { Disconnected, Connecting, Connected };

  explicit Connection(Client& client) : client_(client) {}

  // Connected: lines can be sent.
  bool Active() const { return state_ == State::Connected; }
  // A connection attempt is under way (name lookup or connect).
  bool Connecting() const { return state_ == State::Connecting; }
  State GetState() const { return state_; }
  const std::string& HostName() const { return host_; }
  int Port() const { return port_; }

  // Closes an open connection (its disconnect event runs) and starts a new
  // attempt; its outcome arrives as socket events.
  void Open(const std::string& host, int port);
  // Closes the connection if one is open or being opened.
  void Close();

  // A command line meant for the server: echoed when echo is set, sent with
  // a single CR, or reported when there is no connection.
  void SendLine(std::string_view word, std::string_view rest, bool echo);
  // Bytes to the socket, unchanged.
  void Send(std::string_view bytes);

  // Socket events, delivered on the user-interface thread.  The platform
  // delivers none for a socket it was told to close.
  void OnConnecting();
  void OnConnected();
  void OnDisconnected();
  // A socket error; code is a POSIX errno value.
  void OnError(int code);
  void OnRead(std::string_view bytes);

  MccpState& Mccp() { return mccp_; }

 private:
  void ResetDecoders();
  // Plain text through the telnet pass to the incoming pipeline.
  void Deliver(std::string_view text);

  Client& client_;
  State state_ = State::Disconnected;
  std::string host_;
  int port_ = 0;
  MccpState mccp_;
  TelnetPass telnet_;
};

}  // namespace tarnel
