#include "app/console_app.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <cerrno>

#include "text/encoding.h"

namespace tarnel {

namespace {

// Everything goes out, however slowly the terminal reads: a descriptor that
// someone else made non-blocking is waited on, not given up.
void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, -1);
        continue;
      }
      return;  // a closed terminal is no reason to stop the client
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

// Ctrl+C reaches the event loop through a pipe; a second one within a
// second ends the program in the handler itself, whatever it is doing.
int g_interrupt_pipe = -1;
volatile sig_atomic_t g_last_interrupt_ms = -1;

long long MonotonicMs() {
  timespec t{};
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

extern "C" void OnInterrupt(int) {
  const long long now = MonotonicMs();
  const long long last = g_last_interrupt_ms;
  if (last >= 0 && now - last < 1000) ::_exit(130);
  g_last_interrupt_ms = static_cast<sig_atomic_t>(now);
  const char byte = 1;
  // A full pipe already holds an interruption.
  if (g_interrupt_pipe >= 0 && ::write(g_interrupt_pipe, &byte, 1) < 0) return;
}

// Input that can be read now without waiting.
bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

}  // namespace

void ConsoleHost::TerminalWritten(TerminalId id, std::string_view text) {
  if (id != TerminalId::Main) return;
  if (raw_) {
    WriteAll(STDOUT_FILENO, text);
  } else {
    WriteAll(STDOUT_FILENO, text::Cp1251ToUtf8(resolver_.Process(text)));
  }
}

void ConsoleHost::SetSecretInput(bool on) {
  // At a terminal the typed password disappears as it would at a login.
  if (::isatty(STDIN_FILENO) == 0) return;
  termios t{};
  if (::tcgetattr(STDIN_FILENO, &t) != 0) return;
  if (on) {
    if (!saved_termios_) saved_termios_ = t;
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &t);
  } else if (saved_termios_) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &*saved_termios_);
    saved_termios_.reset();
  }
}

ConsoleHost::~ConsoleHost() { SetSecretInput(false); }

void ConsoleHost::RequestClose() {
  close_requested_ = true;
  emit closeRequested();
}

ConsoleApp::ConsoleApp(bool raw, std::vector<std::string> args)
    : host_(raw), client_(host_), args_(std::move(args)), raw_(raw), interactive_(::isatty(STDIN_FILENO) != 0) {
  host_.Attach(&client_);
  connect(&host_, &ConsoleHost::closeRequested, this, [this] { ScheduleDrain(); });
  // A connection that comes up, fails or ends may let held lines run or the
  // client finish.
  connect(&host_.Socket(), &QtSocket::stateDelivered, this, [this] { ScheduleDrain(); });
}

void ConsoleApp::CatchInterrupts() {
  int fds[2];
  if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return;
  interrupt_read_ = fds[0];
  g_interrupt_pipe = fds[1];
  interrupt_notifier_ = std::make_unique<QSocketNotifier>(interrupt_read_, QSocketNotifier::Read);
  connect(interrupt_notifier_.get(), &QSocketNotifier::activated, this, [this] { Interrupted(); });
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &sa, nullptr);
}

// Ctrl+C: a running batch stops as if "/breakall" had been typed into it;
// with nothing running the client ends as at "/quit", saving what it saves.
void ConsoleApp::Interrupted() {
  char buf[64];
  while (::read(interrupt_read_, buf, sizeof buf) > 0) {
  }
  if (client_.interp.CommandDepth > 0) {
    client_.interp.BreakAll();
    return;
  }
  host_.RequestClose();
}

int ConsoleApp::Run() {
  CatchInterrupts();
  client_.Create(args_);
  client_.Activate();

  // Standard input stays blocking: at a terminal it shares its open file
  // with standard output, and a non-blocking terminal drops output.  Reads
  // happen only when input is there.
  notifier_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { ReadInput(); });
  ScheduleDrain();
  const int code = QCoreApplication::exec();
  host_.SetSecretInput(false);
  return code;
}

void ConsoleApp::ReadInput() {
  char buf[4096];
  // A writer that never pauses must not keep the client from its lines: at
  // most this much per call, the notifier brings the rest.
  for (int pieces = 0; pieces < 64; ++pieces) {
    if (!Readable(STDIN_FILENO)) break;
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n > 0) {
      pending_.append(buf, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) {
      eof_ = true;
      notifier_->setEnabled(false);
      // A last line without its line end still counts.
      if (!pending_.empty() && pending_.back() != '\n') pending_ += '\n';
    }
    break;
  }
  std::size_t start = 0;
  for (std::size_t nl; (nl = pending_.find('\n', start)) != std::string::npos; start = nl + 1) {
    std::string line = pending_.substr(start, nl - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines_.push_back(raw_ ? line : text::Utf8ToCp1251(line));
  }
  pending_.erase(0, start);
  Drain();
}

void ConsoleApp::ScheduleDrain() {
  if (drain_scheduled_) return;
  drain_scheduled_ = true;
  QTimer::singleShot(10, this, [this] {
    drain_scheduled_ = false;
    Drain();
  });
}

void ConsoleApp::Drain() {
  if (finished_) return;
  // A player at a terminal types into a running batch, as in the window
  // (so "/break" stops a loop); piped lines wait for the previous one.
  const bool nested = client_.interp.CommandDepth > 0;
  if (!interactive_ && (draining_ || nested)) {
    ScheduleDrain();
    return;
  }
  const bool outer = !draining_;
  draining_ = true;
  while (!lines_.empty() && !host_.CloseRequested()) {
    // Piped lines after "/connect" are meant for the game: they wait until
    // the connection is up or has failed.
    if (!interactive_ && client_.connection.Connecting()) break;
    const std::string line = std::move(lines_.front());
    lines_.pop_front();
    client_.ExecuteCommand(line, true);
  }
  if (outer) draining_ = false;
  MaybeFinish();
}

void ConsoleApp::MaybeFinish() {
  if (finished_ || client_.interp.CommandDepth > 0) return;
  // At the end of input an open connection plays on until it closes.
  const bool done =
      host_.CloseRequested() ||
      (eof_ && lines_.empty() && client_.connection.GetState() == Connection::State::Disconnected);
  if (!done) return;
  finished_ = true;
  if (notifier_) notifier_->setEnabled(false);
  client_.Destroy();
  QCoreApplication::exit(0);
}

}  // namespace tarnel
