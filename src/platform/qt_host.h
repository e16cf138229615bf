// The parts of the Host that both front ends take from Qt: the event pump,
// the clock, the three timers, the game connection's socket, the debug
// channel and the folders.
#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>

#include "interp/host.h"
#include "platform/qt_socket.h"

namespace tarnel {

class Client;

class QtHost : public QObject, public Host {
  Q_OBJECT
 public:
  QtHost();
  // Events are delivered to this client.
  void Attach(Client* client);

  void ProcessMessages() override;
  void StartTimer(TimerId id, int interval_ms) override;
  void StopTimer(TimerId id) override;
  void SocketOpen(const std::string& host, int port) override;
  bool SocketOpenSecure(const std::string& host, int port) override;
  void SocketClose() override;
  void SocketSend(std::string_view bytes) override;
  QtSocket& Socket() { return socket_; }
  void DebugOutput(std::string_view text) override;
  std::string ExecutableDir() const override;
  std::string UserConfigDir() const override;

 protected:
  Client* client_ = nullptr;

 private:
  QTimer* Timer(TimerId id);
  QTimer tick_;
  QTimer second_;
  QTimer completion_;
  QtSocket socket_;
  bool debug_ = false;
  static constexpr std::chrono::microseconds kPumpInterval{1000};
  std::chrono::steady_clock::time_point last_pump_;
  bool pumped_ = false;
};

// Windows-1251 bytes to a QString and back.
QString ToQString(std::string_view cp1251);
std::string FromQString(const QString& s);

}  // namespace tarnel
