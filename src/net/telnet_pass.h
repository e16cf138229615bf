// The telnet handling the client does on received text.
//
// By default it is the little the game servers of this client expect: an
// escaped 0xFF data byte (IAC IAC) becomes one 0xFF, IAC GA becomes the
// marker 0x01 0x01 that ends a prompt line, and every other telnet command
// stays in the text.
//
// Standard telnet servers negotiate options at every connect; in standard
// mode every complete command is taken out of the text instead, each option
// the server offers or asks for is refused, and the server's offer to echo
// (which it makes while a password is typed) is accepted.
//
// In both modes the pass notes whether the server has announced that it
// echoes: while it does, what the player types is a secret.
#pragma once

#include <string>
#include <string_view>

namespace tarnel {

class TelnetPass {
 public:
  // Runs the pass over one received chunk.  A command cut by the end of the
  // chunk is completed by the next one: where the stream was cut must not
  // change what the player sees.
  std::string Pass(std::string_view chunk);
  // The same without a copy where the pass changes nothing: the result is
  // `chunk` itself or the text in `buffer`.
  std::string_view Pass(std::string_view chunk, std::string& buffer);

  // Standard telnet handling (see above); takes effect with the next byte.
  void SetStandard(bool on);
  bool Standard() const { return standard_; }

  // Answers owed to the server for the negotiations seen so far (standard
  // mode only); taking them empties the store.
  std::string TakeAnswers();

  // The server has said IAC WILL ECHO and not yet IAC WONT ECHO.
  bool ServerEchoes() const { return server_echoes_; }

  // Text held back at the end of a connection: a lone IAC of the default
  // mode (a cut negotiation of the standard mode is no text).
  std::string Flush();
  void Reset();

 private:
  enum class State { Data, Iac, Verb, Sub, SubIac };

  void PassDefault(std::string_view chunk, std::string& out);
  void PassStandard(std::string_view chunk, std::string& out);
  void ObserveEcho(std::string_view chunk);
  void Negotiate(unsigned char verb, unsigned char option);

  bool standard_ = false;
  State state_ = State::Data;
  unsigned char verb_ = 0;
  std::string answers_;
  bool server_echoes_ = false;
  // The default mode leaves commands in the text and only watches for the
  // echo announcement: its own small scanner.
  int echo_scan_ = 0;
};

}  // namespace tarnel
