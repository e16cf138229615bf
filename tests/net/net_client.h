// A client as the front ends run it — the core on the Qt host with its real
// socket — with a fixed clock and the main terminal's text collected.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>
#include <string>

#include "../core/test_host.h"
#include "interp/client.h"
#include "platform/qt_host.h"
#include "text/cp1251.h"

namespace tarnel::test {

class NetHost : public QtHost {
 public:
  std::tm Now() const override {
    std::tm t{};
    t.tm_mday = 7;
    t.tm_mon = 11;
    t.tm_year = 2026 - 1900;
    t.tm_hour = 9;
    t.tm_min = 5;
    return t;
  }
  void TerminalWritten(TerminalId id, std::string_view text) override {
    if (id == TerminalId::Main) main.append(text);
  }
  std::string main;
};

class NetClient {
 public:
  NetClient() {
    host.Attach(&client);
    client.DefaultProfile();
    client.store.Variables().SetValue("global._logfile", "");
    client.RefreshPanels();
  }
  ~NetClient() { host.Attach(nullptr); }

  // A trigger entry ("group.pattern=command") straight into the list
  // ("/set" would substitute its variables), its group switched on.
  void AddTrigger(std::string_view entry) {
    client.store.Triggers().Add(std::string(entry));
    const std::string group(TStringList::GroupOf(TStringList::NameOf(entry)));
    client.store.Groups().SetValue("group." + group, "on");
  }

  // A line typed in the command line.
  void Type(const std::string& line) { client.ExecuteCommand(line, true); }
  void Connect(int port) { Type("/connect 127.0.0.1 " + std::to_string(port)); }

  // Runs the message loop until the condition holds; false after timeout.
  bool WaitFor(const std::function<bool()>& done, int timeout_ms = 15000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
      if (timer.elapsed() > timeout_ms) return false;
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
  }
  bool WaitForText(std::string_view text, int timeout_ms = 15000) {
    return WaitFor([&] { return host.main.find(text) != std::string::npos; }, timeout_ms);
  }
  bool WaitForDisconnect(int timeout_ms = 15000) {
    return WaitFor([&] { return client.connection.GetState() == Connection::State::Disconnected; },
                   timeout_ms);
  }
  int Count(std::string_view text) const {
    int n = 0;
    for (auto p = host.main.find(text); p != std::string::npos; p = host.main.find(text, p + 1))
      ++n;
    return n;
  }
  // What the server's text put on screen, without the client's messages.
  std::string GameText() const {
    std::string out;
    std::size_t from = 0;
    while (from < host.main.size()) {
      const auto message = host.main.find("\x1b[0;37m** ", from);
      if (message == std::string::npos) {
        out += host.main.substr(from);
        break;
      }
      out += host.main.substr(from, message - from);
      const auto end = host.main.find("\r\n", message);
      from = end == std::string::npos ? host.main.size() : end + 2;
      // The compression messages bring a line end of their own.
      if (host.main.substr(message, from - message).find("MCCP") != std::string::npos &&
          out.ends_with("\r\n"))
        out.resize(out.size() - 2);
    }
    return out;
  }

  NetHost host;
  Client client{host};
};

}  // namespace tarnel::test
