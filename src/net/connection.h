// The one connection to the game server: opening and closing it, sending
// lines, and the socket's events, which hand received bytes through the
// compression filter and the telnet pass to the incoming pipeline.
#pragma once

#include <string>
#include <string_view>

#include "net/charset.h"
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
  // One line to the server with its line end: a bare CR, or for a standard
  // telnet server CR LF with 0xFF doubled.
  void SendText(std::string_view line);
  std::string WireLine(std::string_view line) const;
  // Standard telnet handling is asked for (global._telnet).
  bool StandardTelnet() const;

  // The server echoes what is typed (it asks for a password): lines sent
  // now are neither shown, logged nor kept in the history.
  bool ServerEchoes() const { return telnet_.ServerEchoes(); }

  // Socket events, delivered on the user-interface thread.  The platform
  // delivers none for a socket it was told to close.
  void OnConnecting();
  void OnConnected();
  void OnDisconnected();
  // A socket error; code is a POSIX errno value.
  void OnError(int code);
  void OnRead(std::string_view bytes);
  // Whether a read should wait: the triggers are behind (see Incoming).
  bool Backlogged() const;

  // Encrypted connections (global._tls): a certificate the system does
  // not trust is accepted the first time and its SHA-256 fingerprint kept
  // in the settings under the host and port; a different one later is
  // refused until the player forgets the kept one.
  enum class Certificate { Known, FirstUse, Changed };
  // The platform asks while the handshake waits; the fingerprint is upper
  // hex bytes joined by ":".  Remembers a first one.
  Certificate CheckCertificate(std::string_view fingerprint);
  // The verdict reaches the core in order with the other events.
  void OnCertificate(Certificate verdict, std::string_view fingerprint);
  // The settings key of a server's kept fingerprint.
  static std::string CertificateKey(std::string_view host, int port);

  MccpState& Mccp() { return mccp_; }

 private:
  void ResetDecoders();
  void ForgetUnfinishedText();
  // Tells the window when typing turns secret or plain again.
  void NoteServerEcho();
  // Plain text through the telnet pass to the incoming pipeline.
  void Deliver(std::string_view text);

  Client& client_;
  State state_ = State::Disconnected;
  std::string host_;
  int port_ = 0;
  MccpState mccp_;
  TelnetPass telnet_;
  // The server's encoding, by global._charset.
  CharsetConverter charset_;
  bool secret_input_ = false;
};

// The reason of a socket error in words, or empty for an unknown number.
std::string_view SocketErrorText(int code);

// A host name that cannot be looked up: no errno value means that, so it
// has a number of its own, outside their range.
inline constexpr int kHostNotFound = 11001;

}  // namespace tarnel
