#include "session.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "text_escapes.h"

namespace tarnel::testserver {
namespace {

// A client that takes nothing for this long is stuck; the test would hang.
constexpr int kStalledWriteMs = 10000;
// After close, how long the client has to hang up before we cut it off.
constexpr int kCloseGraceMs = 2000;
// A client that never ends a line still gets its echo.
constexpr size_t kLongestEchoLine = 64 * 1024;
// How much unmatched client input is searched: more than one ReadClient
// takes, so a match is never cut off by the trimming.
constexpr size_t kKeptInput = 2 << 20;

// The client's compression answers are telnet, not something it typed.
constexpr std::string_view kAnswers[] = {"\xff\xfd\x55", "\xff\xfe\x55", "\xff\xfd\x56",
                                         "\xff\xfe\x56"};

}  // namespace

Session::Session(int fd, const Script& script, int record_fd, int number, bool verbose)
    : fd_(fd), script_(script), record_fd_(record_fd), number_(number), verbose_(verbose) {}

Session::~Session() { close(fd_); }

bool Session::Run() {
  for (const Step& step : script_.steps) {
    step_ = &step;
    Log("line " + std::to_string(step.line) + ": " + step.source);
    if (!Do(step)) return false;
    if (closed_) return true;
  }
  step_ = nullptr;
  if (!Flush()) return false;
  while (!eof_) {
    Pump(-1);
    if (!Flush()) return false;
  }
  return true;
}

bool Session::Do(const Step& step) {
  using Op = Step::Op;
  switch (step.op) {
    case Op::Send: Queue(step.bytes); return true;
    case Op::Raw: pending_ += step.bytes; return true;
    case Op::Split:
    case Op::Sleep: return Flush() && Wait(step.number);
    case Op::Chunk:
      if (!Flush()) return false;
      chunk_ = step.number;
      chunk_pause_ms_ = step.pause_ms;
      return true;
    case Op::Expect: return Flush() && Expect(step.bytes, step.number);
    case Op::ExpectEof: return Flush() && ExpectEof(step.number);
    case Op::StartCompress:
      compressor_ = Compressor::Create(step.number);
      pending_ += compressor_->Start();
      if (!compressor_->Error().empty()) {
        Fail(compressor_->Error());
        return false;
      }
      return true;
    case Op::EndCompress:
      pending_ += compressor_->Finish();
      if (!compressor_->Error().empty()) {
        Fail(compressor_->Error());
        return false;
      }
      compressor_.reset();
      return true;
    case Op::Echo:
      echo_ = step.number == 1;
      echo_line_.clear();
      echo_after_cr_ = false;
      return true;
    case Op::Close:
      if (!Flush()) return false;
      Close();
      return true;
  }
  return true;
}

bool Session::Expect(const std::string& bytes, int timeout_ms) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    size_t at = received_.find(bytes);
    if (at != std::string::npos) {
      received_.erase(0, at + bytes.size());
      return true;
    }
    if (eof_) {
      Fail("the client hung up while the server waited for \"" + Describe(bytes) +
           "\"; it had sent \"" + Describe(received_) + "\"");
      return false;
    }
    int left = MsLeft(deadline);
    if (left == 0) {
      Fail("no \"" + Describe(bytes) + "\" from the client within " + std::to_string(timeout_ms) +
           " ms; it sent \"" + Describe(received_) + "\"");
      return false;
    }
    Pump(left);
    if (!Flush()) return false;
  }
}

bool Session::ExpectEof(int timeout_ms) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!eof_) {
    int left = MsLeft(deadline);
    if (left == 0) {
      Fail("the client did not hang up within " + std::to_string(timeout_ms) + " ms");
      return false;
    }
    Pump(left);
    if (!Flush()) return false;
  }
  return true;
}

// Half-close first and read until the client hangs up: closing a socket that
// still holds unread input resets the connection, and the client could lose
// the last text it was sent.
void Session::Close() {
  shutdown(fd_, SHUT_WR);
  closed_ = true;
  echo_ = false;
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kCloseGraceMs);
  while (!eof_) {
    int left = MsLeft(deadline);
    if (left == 0) {
      Log("the client did not hang up after close");
      break;
    }
    Pump(left);
  }
}

void Session::Queue(std::string_view text) {
  if (compressor_)
    pending_ += compressor_->Compress(text);
  else
    pending_ += text;
}

bool Session::Flush() {
  // A write in progress takes up whatever is queued meanwhile, in order.
  if (writing_) return true;
  writing_ = true;
  bool ok = true;
  while (ok && !pending_.empty()) {
    std::string wire;
    wire.swap(pending_);
    ok = WriteWire(wire);
  }
  writing_ = false;
  if (ok && compressor_ && !compressor_->Error().empty()) {
    Fail(compressor_->Error());
    return false;
  }
  return ok;
}

bool Session::WriteWire(std::string_view wire) {
  if (chunk_ == 0) return WriteAll(wire);
  for (size_t at = 0; at < wire.size(); at += static_cast<size_t>(chunk_)) {
    if (at > 0 && !Wait(chunk_pause_ms_)) return false;
    if (!WriteAll(wire.substr(at, static_cast<size_t>(chunk_)))) return false;
  }
  return true;
}

bool Session::WriteAll(std::string_view bytes) {
  if (closed_ || gone_) return true;
  Log("write " + std::to_string(bytes.size()) + " bytes: \"" + Describe(bytes, 80) + "\"");
  while (!bytes.empty()) {
    ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // Keep reading while the client's window is full, so that a client that
      // is itself blocked sending to us cannot deadlock the two.
      pollfd p{fd_, static_cast<short>(eof_ ? POLLOUT : POLLOUT | POLLIN), 0};
      int r = poll(&p, 1, kStalledWriteMs);
      if (r == 0) {
        Fail("the client took no data for " + std::to_string(kStalledWriteMs / 1000) + " s");
        return false;
      }
      if (r > 0 && (p.revents & POLLIN)) ReadClient();
      continue;
    }
    int error = n < 0 ? errno : EPIPE;
    if (error != EPIPE && error != ECONNRESET) {
      Fail(std::string("send: ") + std::strerror(error));
      return false;
    }
    // Hanging up is the client's right; a test that needed the text notices.
    if (step_)
      std::fprintf(stderr,
                   "tarnel-testserver: session %d, script line %d: the client hung up, "
                   "%zu bytes were not sent\n",
                   number_, step_->line, bytes.size());
    gone_ = true;
    eof_ = true;
    return true;
  }
  return true;
}

void Session::Pump(int timeout_ms) {
  if (eof_) {
    // Nothing more can come; a wait is just a pause.
    if (timeout_ms > 0) poll(nullptr, 0, timeout_ms);
    return;
  }
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, timeout_ms) > 0) ReadClient();
}

bool Session::Wait(int ms) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (int left = ms; left > 0; left = MsLeft(deadline)) {
    Pump(left);
    if (!Flush()) return false;
  }
  return true;
}

void Session::ReadClient() {
  char buffer[65536];
  // Bounded, so that a client that never stops sending still gets its text.
  for (int round = 0; round < 16; ++round) {
    ssize_t n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
      OnClientBytes(std::string_view(buffer, static_cast<size_t>(n)));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n < 0 && errno != ECONNRESET)
      std::fprintf(stderr, "tarnel-testserver: session %d: recv: %s\n", number_,
                   std::strerror(errno));
    Log("the client hung up");
    eof_ = true;
    return;
  }
}

void Session::OnClientBytes(std::string_view bytes) {
  Log("read " + std::to_string(bytes.size()) + " bytes: \"" + Describe(bytes, 80) + "\"");
  if (record_fd_ >= 0) {
    std::string_view rest = bytes;
    while (!rest.empty()) {
      ssize_t n = write(record_fd_, rest.data(), rest.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        std::fprintf(stderr, "tarnel-testserver: cannot write the record: %s\n",
                     std::strerror(errno));
        record_fd_ = -1;
        break;
      }
      rest.remove_prefix(static_cast<size_t>(n));
    }
  }
  received_ += bytes;
  size_t keep = kKeptInput + script_.longest_expect;
  if (received_.size() > 2 * keep) received_.erase(0, received_.size() - keep);

  if (!echo_) return;
  // A line ends at CR, at LF, or at CR LF, whichever the client uses.
  for (char c : bytes) {
    bool after_cr = echo_after_cr_;
    echo_after_cr_ = c == '\r';
    if (c == '\n' && after_cr) continue;
    if (c == '\r' || c == '\n') {
      EchoLine();
    } else {
      echo_line_.push_back(c);
      if (echo_line_.size() >= kLongestEchoLine) EchoLine();
    }
  }
}

// Echoed as a server sends text: a 0xFF data byte doubled.
void Session::EchoLine() {
  for (std::string_view answer : kAnswers) {
    for (size_t at; (at = echo_line_.find(answer)) != std::string::npos;)
      echo_line_.erase(at, answer.size());
  }
  std::string text;
  for (char c : echo_line_) {
    text.push_back(c);
    if (c == '\xff') text.push_back(c);
  }
  text += "\r\n";
  echo_line_.clear();
  Queue(text);
}

int Session::MsLeft(Clock::time_point deadline) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

void Session::Fail(const std::string& message) {
  if (step_)
    std::fprintf(stderr, "tarnel-testserver: session %d, script line %d (%s): %s\n", number_,
                 step_->line, step_->source.c_str(), message.c_str());
  else
    std::fprintf(stderr, "tarnel-testserver: session %d, after the script: %s\n", number_,
                 message.c_str());
}

void Session::Log(const std::string& message) const {
  if (verbose_)
    std::fprintf(stderr, "tarnel-testserver: session %d: %s\n", number_, message.c_str());
}

}  // namespace tarnel::testserver
