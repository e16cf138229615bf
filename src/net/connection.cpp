#include "net/connection.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "interp/client.h"
#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

namespace {

constexpr std::string_view kDefaultTitle = "Tarnel MUD Client";

}  // namespace

void Connection::Open(const std::string& host, int port) {
  if (state_ != State::Disconnected) Close();
  host_ = host;
  port_ = port;
  state_ = State::Connecting;
  try {
    if (client_.store.VarOn("global._tls")) {
      if (!client_.host.SocketOpenSecure(host_, port_)) {
        // Never a plain connection in its place: the player asked for an
        // encrypted one.
        state_ = State::Disconnected;
        client_.Message("Ошибка: TLS недоступен, соединение не открыто."_cp);
      }
    } else {
      client_.host.SocketOpen(host_, port_);
    }
  } catch (const std::exception&) {
    // Swallowed without a word; a failed attempt otherwise reports through
    // the error event.
    state_ = State::Disconnected;
  }
}

void Connection::Close() {
  if (state_ == State::Disconnected) return;
  try {
    client_.host.SocketClose();
  } catch (const std::exception&) {
  }
  // The platform sends no event for a socket it was told to close, so the
  // disconnect is announced here, before anything that follows (a new
  // connection's messages, for one).
  OnDisconnected();
}

void Connection::SendLine(std::string_view word, std::string_view rest, bool echo) {
  std::string line;
  if (word.size() >= 2 && word[0] == '/' && word[1] == '/') word.remove_prefix(1);
  line.append(word);
  if (!rest.empty()) line.append(" ").append(rest);
  // While the server hides what is typed, so does the client: a password
  // never reaches the screen or the log.
  if (echo && !ServerEchoes()) client_.PrintText(line + "\r\n");
  if (Active())
    SendText(line);
  else
    client_.Message("Соединение не установлено."_cp);
  client_.ProcessMessages();
}

bool Connection::StandardTelnet() const { return client_.store.VarOn("global._telnet"); }

std::string Connection::WireLine(std::string_view line) const {
  if (!StandardTelnet()) return std::string(line) + "\r";
  // A standard server reads a 0xFF data byte only doubled, and a line only
  // when LF ends it.
  std::string out;
  out.reserve(line.size() + 2);
  for (const char c : line) {
    out += c;
    if (c == '\xFF') out += c;
  }
  out += "\r\n";
  return out;
}

void Connection::SendText(std::string_view line) {
  charset_.Select(client_.store.Var("global._charset"));
  if (!charset_.Active()) {
    Send(WireLine(line));
    return;
  }
  Send(WireLine(charset_.Encode(line)));
}

void Connection::Send(std::string_view bytes) {
  try {
    client_.host.SocketSend(bytes);
  } catch (const std::exception&) {
  }
}

void Connection::ResetDecoders() {
  MccpReset(mccp_);
  telnet_.Reset();
  charset_.Reset();
  NoteServerEcho();
}

// Nothing of a connection's unfinished line or escape sequence carries over
// to the next: not into line assembly, the screens or the log.
void Connection::ForgetUnfinishedText() {
  client_.incoming.StartOver();
  client_.main_screen.CancelEscape();
  client_.history_screen.CancelEscape();
  client_.output.Stripper().Reset();
}

void Connection::NoteServerEcho() {
  const bool secret = telnet_.ServerEchoes();
  if (secret == secret_input_) return;
  secret_input_ = secret;
  client_.host.SetSecretInput(secret);
}

void Connection::OnConnecting() {
  client_.Message(std::string("Попытка соединения с "_cp) + host_ + ":" + std::to_string(port_) +
                  "...");
}

void Connection::OnConnected() {
  ResetDecoders();
  ForgetUnfinishedText();
  state_ = State::Connected;
  const std::string address = host_ + ":" + std::to_string(port_);
  client_.Message(std::string("Установлено соединение "_cp) + address + ".");

  // Every group's start-up script, switched on or not, as one batch.
  Interpreter& interp = client_.interp;
  interp.RaiseDepth();
  TStringList& groups = client_.store.Groups();
  for (int k = 0; k < groups.Count(); ++k) {
    const std::string_view entry = groups[k];
    const auto dot = entry.find('.');
    const auto eq = entry.find('=');
    const std::size_t from = dot == std::string_view::npos ? 0 : dot + 1;
    const std::size_t to = eq == std::string_view::npos ? entry.size() : eq;
    const std::string name(to > from ? entry.substr(from, to - from) : std::string_view());
    const std::string script = client_.store.Var(name + "._init");
    if (!script.empty()) client_.ExecuteCommand(script, false);
  }
  interp.LowerDepth();

  client_.ExecuteCommand("/set global._caption={" + address + "}", false);
}

void Connection::OnDisconnected() {
  if (state_ == State::Disconnected) return;
  // Bytes held back for a telnet pair or a compression sequence that never
  // got their second half still reach the screen.
  std::string rest;
  if (!mccp_.held.empty() && mccp_.mode == 0) rest = telnet_.Pass(mccp_.held);
  rest += telnet_.Flush();
  if (charset_.Active()) rest = charset_.Decode(rest);
  ResetDecoders();
  state_ = State::Disconnected;
  if (!rest.empty()) client_.incoming.ProcessIncoming(rest);
  ForgetUnfinishedText();
  client_.host.SetTitle(kDefaultTitle);
  client_.Message("Текущее соединение разорвано."_cp);
}

void Connection::OnError(int code) {
  // The reason in words follows the number, which triggers may look for.
  const std::string_view reason = SocketErrorText(code);
  // (Built up piece by piece: clang 14 crashes on a local initialised
  // from a converted literal.)
  std::string message;
  message += "Ошибка "_cp;
  message += std::to_string(code);
  if (!reason.empty()) message += " (" + std::string(reason) + ")";
  client_.Message(message + ".");
  // A failed attempt ends here; an established connection ends with its
  // disconnect event.
  if (state_ == State::Connecting) state_ = State::Disconnected;
}

std::string Connection::CertificateKey(std::string_view host, int port) {
  return "tls." + std::string(host) + ":" + std::to_string(port);
}

Connection::Certificate Connection::CheckCertificate(std::string_view fingerprint) {
  const std::string key = CertificateKey(host_, port_);
  const std::string kept = client_.settings.GetValue(key);
  if (kept.empty()) {
    client_.settings.SetValue(key, fingerprint);
    // Kept at once: a client that ends abnormally must not forget it.
    client_.settings.SaveToFile(client_.SettingsPath());
    return Certificate::FirstUse;
  }
  return kept == fingerprint ? Certificate::Known : Certificate::Changed;
}

void Connection::OnCertificate(Certificate verdict, std::string_view fingerprint) {
  const std::string server = host_ + ":" + std::to_string(port_);
  if (verdict == Certificate::FirstUse) {
    std::string m;
    m += "Сертификат сервера "_cp;
    m += server;
    m += " не заверен; принят при первом соединении, отпечаток SHA-256: "_cp;
    m += fingerprint;
    client_.Message(m);
  } else if (verdict == Certificate::Changed) {
    std::string m;
    m += "Сертификат сервера "_cp;
    m += server;
    m += " не тот, что был (отпечаток SHA-256: "_cp;
    m += fingerprint;
    m += "), соединение отклонено. Если сервер сменил сертификат, наберите /forgetcert "_cp;
    m += host_ + " " + std::to_string(port_) + ".";
    client_.Message(m);
  }
}

void Connection::OnRead(std::string_view bytes) {
  telnet_.SetStandard(StandardTelnet());
  if (!client_.MccpEnabled()) {
    if (mccp_.held.empty()) {
      Deliver(bytes);
    } else {
      // Compression was switched off while a sequence was cut: its bytes
      // are plain text now.
      std::string text = std::move(mccp_.held);
      mccp_.held.clear();
      text.append(bytes);
      Deliver(text);
    }
    return;
  }
  std::string text;
  try {
    text = MccpFilter(mccp_, bytes);
  } catch (const std::exception&) {
    text.assign(bytes);
    mccp_.marks.clear();
  }
  mccp_.error = false;
  // Every answer owed goes out now: an answer left for a later chunk would
  // wait for the server to send more, which it may not do before it has
  // the answer.
  for (std::string answer = MccpAnswer(mccp_); !answer.empty(); answer = MccpAnswer(mccp_))
    Send(answer);
  // The messages stand where compression started or broke, so they do not
  // move with the read boundaries.
  const std::vector<MccpMark> marks = std::move(mccp_.marks);
  mccp_.marks.clear();
  std::size_t from = 0;
  for (const MccpMark& mark : marks) {
    const std::size_t at = std::min(mark.at, text.size());
    if (at > from) Deliver(std::string_view(text).substr(from, at - from));
    from = std::max(from, at);
    const std::string_view note = mark.error ? "Ошибка: MCCP, ошибка при декомпрессии данных."_cp
                                             : "используется протокол MCCP."_cp;
    client_.PrintText("\r\n" + client_.output.SystemMessage(note));
  }
  if (from < text.size() || marks.empty()) Deliver(std::string_view(text).substr(from));
}

bool Connection::Backlogged() const { return client_.incoming.Backlogged(); }

void Connection::Deliver(std::string_view text) {
  std::string buffer;
  const std::string_view plain = telnet_.Pass(text, buffer);
  const std::string answers = telnet_.TakeAnswers();
  if (!answers.empty() && Active()) Send(answers);
  NoteServerEcho();
  charset_.Select(client_.store.Var("global._charset"));
  if (charset_.Active()) {
    client_.incoming.ProcessIncoming(charset_.Decode(plain));
    return;
  }
  client_.incoming.ProcessIncoming(plain);
}

}  // namespace tarnel
