#include "platform/qt_host.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <cstdio>

#include "interp/client.h"
#include "text/cp1251.h"
#include "text/encoding.h"
#include "text/paths.h"

namespace tarnel {

QString ToQString(std::string_view cp1251) {
  QString s;
  s.reserve(static_cast<qsizetype>(cp1251.size()));
  for (char c : cp1251) s.append(QChar(static_cast<char16_t>(text::Cp1251ToUnicode(static_cast<unsigned char>(c)))));
  return s;
}

std::string FromQString(const QString& s) {
  std::string out;
  out.reserve(static_cast<std::size_t>(s.size()));
  for (QChar ch : s) {
    const int code = text::UnicodeToCp1251(ch.unicode());
    out += code < 0 ? '?' : static_cast<char>(code);
  }
  return out;
}

QtHost::QtHost() {
  debug_ = !qEnvironmentVariableIsEmpty("TARNEL_DEBUG");
  for (TimerId id : {TimerId::Tick, TimerId::Second, TimerId::Completion}) {
    QTimer* t = Timer(id);
    connect(t, &QTimer::timeout, this, [this, id] {
      if (client_) client_->OnTimer(id);
    });
  }
}

void QtHost::Attach(Client* client) {
  client_ = client;
  socket_.SetTarget(client ? &client->connection : nullptr);
}

void QtHost::SocketOpen(const std::string& host, int port) { socket_.Open(host, port); }

bool QtHost::SocketOpenSecure(const std::string& host, int port) {
  if (!QtSocket::CanEncrypt()) return false;
  socket_.Open(host, port, true);
  return true;
}

void QtHost::SocketClose() { socket_.Close(); }

void QtHost::SocketSend(std::string_view bytes) { socket_.Send(bytes); }

QTimer* QtHost::Timer(TimerId id) {
  switch (id) {
    case TimerId::Tick: return &tick_;
    case TimerId::Second: return &second_;
    case TimerId::Completion: return &completion_;
  }
  return &tick_;
}

void QtHost::ProcessMessages() {
  // Asking the loop costs a system call (it polls every descriptor it
  // watches) and the interpreter asks after every statement: a batch of
  // thousands of statements a second would spend its time there.  The loop
  // runs at most once a millisecond here (the clock is read without a
  // system call); whatever came in meanwhile is handled at that turn, in
  // the middle of the batch as before.
  const auto now = std::chrono::steady_clock::now();
  if (pumped_ && now - last_pump_ < kPumpInterval) return;
  pumped_ = true;
  last_pump_ = now;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtHost::StartTimer(TimerId id, int interval_ms) {
  QTimer* t = Timer(id);
  t->stop();
  // An interval of 0 never fires.
  if (interval_ms <= 0) return;
  t->start(interval_ms);
}

void QtHost::StopTimer(TimerId id) { Timer(id)->stop(); }

void QtHost::DebugOutput(std::string_view text) {
  if (!debug_) return;
  const std::string utf8 = text::Cp1251ToUtf8(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
}

std::string QtHost::ExecutableDir() const {
  // TARNEL_HOME moves the settings file elsewhere (tests, portable set-ups).
  const QString home = qEnvironmentVariable("TARNEL_HOME");
  if (!home.isEmpty()) return text::FromNativePath(home.toStdString());
  return text::FromNativePath(QCoreApplication::applicationDirPath().toStdString());
}

std::string QtHost::UserConfigDir() const {
  const QString home = qEnvironmentVariable("TARNEL_HOME");
  if (!home.isEmpty()) return text::FromNativePath(home.toStdString());
  QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  if (dir.isEmpty()) dir = QDir::homePath() + "/.config/tarnel";
  return text::FromNativePath(dir.toStdString());
}

}  // namespace tarnel
