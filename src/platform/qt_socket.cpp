#include "platform/qt_socket.h"

#include <QCryptographicHash>
#include <QMetaObject>
#include <QSslSocket>
#include <QTimer>
#include <algorithm>
#include <cerrno>

#include "net/connection.h"

namespace tarnel {

namespace {

// A read hands at most this much to the core at once, which keeps what one
// chunk can inflate to within reason; the rest follows as further reads.
constexpr qint64 kReadPiece = 64 * 1024;
// Received bytes waiting for the core stay below this; the rest waits in
// the kernel, and TCP slows a server that sends faster than the client
// takes it.
constexpr std::size_t kMostQueued = 1 << 20;

}  // namespace

QtSocket::~QtSocket() {
  // Closing the program: the socket goes without a word to the core.
  ++generation_;
  events_.clear();
  queued_bytes_ = 0;
  if (socket_ != nullptr) {
    socket_->disconnect(this);
    delete socket_;
    socket_ = nullptr;
  }
}

int QtSocket::ErrnoFor(QAbstractSocket::SocketError error, const QString& text) {
  switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return ECONNREFUSED;
    case QAbstractSocket::RemoteHostClosedError: return ECONNRESET;
    // Name lookup has no errno of its own.
    case QAbstractSocket::HostNotFoundError: return kHostNotFound;
    case QAbstractSocket::SocketAccessError: return EACCES;
    case QAbstractSocket::SocketResourceError: return EMFILE;
    case QAbstractSocket::SocketTimeoutError: return ETIMEDOUT;
    case QAbstractSocket::DatagramTooLargeError: return EMSGSIZE;
    case QAbstractSocket::AddressInUseError: return EADDRINUSE;
    case QAbstractSocket::SocketAddressNotAvailableError: return EADDRNOTAVAIL;
    case QAbstractSocket::UnsupportedSocketOperationError: return EOPNOTSUPP;
    case QAbstractSocket::UnfinishedSocketOperationError: return EALREADY;
    case QAbstractSocket::TemporaryError: return EAGAIN;
    case QAbstractSocket::ProxyAuthenticationRequiredError: return EACCES;
    case QAbstractSocket::ProxyConnectionRefusedError: return ECONNREFUSED;
    case QAbstractSocket::ProxyConnectionClosedError: return ECONNRESET;
    case QAbstractSocket::ProxyConnectionTimeoutError: return ETIMEDOUT;
    case QAbstractSocket::ProxyNotFoundError: return kHostNotFound;
    case QAbstractSocket::ProxyProtocolError: return EPROTO;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError: return EPROTO;
    case QAbstractSocket::NetworkError: {
      // Qt folds several connect failures into this one; its text tells
      // them apart.
      if (text.contains(QLatin1String("timed out"), Qt::CaseInsensitive)) return ETIMEDOUT;
      if (text.contains(QLatin1String("host unreachable"), Qt::CaseInsensitive))
        return EHOSTUNREACH;
      if (text.contains(QLatin1String("network unreachable"), Qt::CaseInsensitive))
        return ENETUNREACH;
      return ENETDOWN;
    }
    case QAbstractSocket::OperationError: return EINVAL;
    case QAbstractSocket::UnknownSocketError: break;
  }
  return EIO;
}

bool QtSocket::CanEncrypt() { return QSslSocket::supportsSsl(); }

void QtSocket::Open(const std::string& host, int port, bool secure) {
  DropSocket();
  const quint64 generation = ++generation_;
  QSslSocket* tls = secure ? new QSslSocket(this) : nullptr;
  socket_ = tls != nullptr ? tls : new QTcpSocket(this);
  QTcpSocket* s = socket_;
  connect(s, &QTcpSocket::hostFound, this, [this, generation] {
    if (generation == generation_) Post({Kind::Connecting, 0, {}});
  });
  s->setReadBufferSize(kReadPiece * 4);
  // Over TLS the connection counts as made once the handshake is done.
  connect(s, &QTcpSocket::connected, this, [this, generation, s, tls] {
    if (generation != generation_) return;
    // Typed lines should leave at once, not wait to be merged.
    s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (tls == nullptr) Post({Kind::Connected, 0, {}});
  });
  if (tls != nullptr) {
    connect(tls, &QSslSocket::encrypted, this, [this, generation] {
      if (generation == generation_) Post({Kind::Connected, 0, {}});
    });
    connect(tls, &QSslSocket::sslErrors, this, [this, generation, tls](const QList<QSslError>&) {
      if (generation != generation_ || target_ == nullptr) return;
      // Not trusted by the system: the fingerprint kept for this server
      // decides, and a first one is kept.
      const QByteArray digest = tls->peerCertificate().digest(QCryptographicHash::Sha256);
      const std::string fingerprint = digest.toHex(':').toUpper().toStdString();
      const Connection::Certificate verdict = target_->CheckCertificate(fingerprint);
      Post({Kind::Certificate, static_cast<int>(verdict), fingerprint});
      if (verdict != Connection::Certificate::Changed) tls->ignoreSslErrors();
    });
  }
  connect(s, &QTcpSocket::readyRead, this, [this, generation] {
    if (generation == generation_) ReadAvailable();
  });
  connect(s, &QTcpSocket::disconnected, this, [this, generation] {
    if (generation != generation_) return;
    // The last bytes go before the end, however full the queue is.
    ReadAvailable(true);
    Post({Kind::Disconnected, 0, {}});
  });
  connect(s, &QTcpSocket::errorOccurred, this,
          [this, generation, s](QAbstractSocket::SocketError error) {
            if (generation != generation_) return;
            // The server hanging up is no error: the disconnect event tells it.
            if (error == QAbstractSocket::RemoteHostClosedError) return;
            Post({Kind::Error, ErrnoFor(error, s->errorString()), {}});
          });
  // Host names are plain ASCII; other bytes pass as Latin-1 and fail the
  // lookup like any unknown name.
  const QString name = QString::fromLatin1(host.data(), static_cast<qsizetype>(host.size()));
  if (tls != nullptr)
    tls->connectToHostEncrypted(name, static_cast<quint16>(port));
  else
    s->connectToHost(name, static_cast<quint16>(port));
}

void QtSocket::Close() { DropSocket(); }

void QtSocket::DropSocket() {
  ++generation_;
  events_.clear();
  queued_bytes_ = 0;
  if (socket_ == nullptr) return;
  QTcpSocket* s = socket_;
  socket_ = nullptr;
  // What the player sent last still goes out if the kernel takes it now.
  if (s->state() == QAbstractSocket::ConnectedState) s->flush();
  s->abort();
  s->deleteLater();
}

void QtSocket::Send(std::string_view bytes) {
  if (socket_ == nullptr || bytes.empty()) return;
  socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

void QtSocket::ReadAvailable(bool all) {
  while (socket_ != nullptr && socket_->bytesAvailable() > 0 && (all || queued_bytes_ < kMostQueued)) {
    const QByteArray piece = socket_->read(kReadPiece);
    if (piece.isEmpty()) break;
    queued_bytes_ += static_cast<std::size_t>(piece.size());
    Post({Kind::Read, 0, std::string(piece.constData(), static_cast<std::size_t>(piece.size()))});
  }
}

void QtSocket::Post(Event event) {
  events_.push_back(std::move(event));
  if (dispatch_posted_) return;
  dispatch_posted_ = true;
  QMetaObject::invokeMethod(this, &QtSocket::Dispatch, Qt::QueuedConnection);
}

void QtSocket::Dispatch() {
  dispatch_posted_ = false;
  if (events_.empty()) return;
  // The triggers are behind: everything waits its turn, in order, and the
  // queue is looked at again in a millisecond.
  if (events_.front().kind == Kind::Read && target_ != nullptr && target_->Backlogged()) {
    dispatch_posted_ = true;
    QTimer::singleShot(1, this, &QtSocket::Dispatch);
    return;
  }
  const Event event = std::move(events_.front());
  events_.pop_front();
  if (event.kind == Kind::Read) {
    queued_bytes_ -= std::min(queued_bytes_, event.bytes.size());
    // Reading paused while the queue was full: the socket says nothing
    // more until it is read again.
    if (socket_ != nullptr && queued_bytes_ < kMostQueued / 2) ReadAvailable();
  }
  // The next event is a message of its own: a command that lets the message
  // loop run while this one is handled will see it, as with any message.
  if (!events_.empty()) {
    dispatch_posted_ = true;
    QMetaObject::invokeMethod(this, &QtSocket::Dispatch, Qt::QueuedConnection);
  }
  Deliver(event);
}

void QtSocket::Deliver(const Event& event) {
  const quint64 generation = generation_;
  switch (event.kind) {
    case Kind::Connecting:
      if (target_) target_->OnConnecting();
      return;
    case Kind::Connected:
      if (target_) target_->OnConnected();
      break;
    case Kind::Read:
      if (target_) target_->OnRead(event.bytes);
      return;
    case Kind::Certificate:
      if (target_) target_->OnCertificate(static_cast<Connection::Certificate>(event.code), event.bytes);
      return;
    case Kind::Error:
      if (target_) {
        target_->OnError(event.code);
        // A failed attempt is over; a live connection that fails ends with
        // its own disconnect event, which may still be on its way.
        if (generation == generation_ && target_->GetState() == Connection::State::Disconnected)
          DropSocket();
      }
      break;
    case Kind::Disconnected:
      if (generation == generation_) DropSocket();
      if (target_) target_->OnDisconnected();
      break;
  }
  emit stateDelivered();
}

}  // namespace tarnel
