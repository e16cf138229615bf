// The game connection's socket on Qt: an event-driven TCP client whose
// events (connecting, connected, disconnected, error, read) reach the core
// on the user-interface thread, each as a message of its own, in the order
// they happened.
#pragma once

#include <QAbstractSocket>
#include <QObject>
#include <QTcpSocket>
#include <deque>
#include <string>
#include <string_view>

namespace tarnel {

class Connection;

class QtSocket : public QObject {
  Q_OBJECT
 public:
  explicit QtSocket(QObject* parent = nullptr) : QObject(parent) {}
  ~QtSocket() override;

  // Where the events go.
  void SetTarget(Connection* target) { target_ = target; }

  // Starts name lookup and connect (with a TLS handshake when secure); the
  // outcome arrives as events.
  void Open(const std::string& host, int port, bool secure = false);
  // Whether this system can encrypt connections.
  static bool CanEncrypt();
  // Drops the socket at once; no event of it reaches the core any more.
  void Close();
  // Bytes the socket cannot take now wait in its buffer and go out later,
  // in order.
  void Send(std::string_view bytes);

  // The errno value for a Qt socket error (never 0).
  static int ErrnoFor(QAbstractSocket::SocketError error, const QString& text);

 signals:
  // An event that changes the connection's state has reached the core.
  void stateDelivered();

 private:
  enum class Kind { Connecting, Connected, Disconnected, Error, Read, Certificate };
  struct Event {
    Kind kind;
    int code = 0;
    std::string bytes;
  };

  void Post(Event event);
  void ReadAvailable(bool all = false);
  void Dispatch();
  void Deliver(const Event& event);
  void DropSocket();

  Connection* target_ = nullptr;
  QTcpSocket* socket_ = nullptr;
  // Identifies the socket of the current attempt; events of an older one
  // are ignored.
  quint64 generation_ = 0;
  std::deque<Event> events_;
  std::size_t queued_bytes_ = 0;  // received bytes in events_
  bool dispatch_posted_ = false;
};

}  // namespace tarnel
