#include "net/telnet_pass.h"

#include <cstring>

namespace tarnel {

namespace {

constexpr unsigned char kIac = 0xFF;
constexpr unsigned char kDont = 0xFE;
constexpr unsigned char kDo = 0xFD;
constexpr unsigned char kWont = 0xFC;
constexpr unsigned char kWill = 0xFB;
constexpr unsigned char kSb = 0xFA;
constexpr unsigned char kGa = 0xF9;
constexpr unsigned char kSe = 0xF0;
constexpr unsigned char kEcho = 1;

std::size_t FindIac(std::string_view s, std::size_t from) {
  if (from >= s.size()) return s.size();
  const void* hit = std::memchr(s.data() + from, kIac, s.size() - from);
  return hit == nullptr ? s.size()
                        : static_cast<std::size_t>(static_cast<const char*>(hit) - s.data());
}

std::string Command(unsigned char verb, unsigned char option) {
  return std::string{static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
}

}  // namespace

void TelnetPass::SetStandard(bool on) {
  if (on == standard_) return;
  standard_ = on;
  // A held IAC means the same in both modes; a negotiation cut half-way
  // only the standard mode understands, so it is dropped on the way back.
  if (!on && state_ != State::Iac) state_ = State::Data;
  echo_scan_ = 0;
}

void TelnetPass::Reset() {
  state_ = State::Data;
  verb_ = 0;
  answers_.clear();
  server_echoes_ = false;
  echo_scan_ = 0;
}

std::string TelnetPass::TakeAnswers() {
  std::string out;
  out.swap(answers_);
  return out;
}

std::string TelnetPass::Flush() {
  const bool held = !standard_ && state_ == State::Iac;
  state_ = State::Data;
  if (!held) return {};
  return std::string(1, static_cast<char>(kIac));
}

std::string TelnetPass::Pass(std::string_view chunk) {
  std::string buffer;
  const std::string_view passed = Pass(chunk, buffer);
  if (passed.data() == buffer.data()) return buffer;
  return std::string(passed);
}

std::string_view TelnetPass::Pass(std::string_view chunk, std::string& buffer) {
  buffer.clear();
  if (standard_) {
    PassStandard(chunk, buffer);
    return buffer;
  }
  ObserveEcho(chunk);
  if (state_ != State::Iac && std::memchr(chunk.data(), kIac, chunk.size()) == nullptr) return chunk;
  PassDefault(chunk, buffer);
  return buffer;
}

void TelnetPass::PassDefault(std::string_view chunk, std::string& out) {
  std::string joined;
  if (state_ == State::Iac) {
    state_ = State::Data;
    joined.reserve(chunk.size() + 1);
    joined += static_cast<char>(kIac);
    joined.append(chunk);
    chunk = joined;
  }
  out.reserve(chunk.size());
  const std::size_t n = chunk.size();
  std::size_t p = 0;
  while (p < n) {
    const std::size_t iac = FindIac(chunk, p);
    out.append(chunk.substr(p, iac - p));
    p = iac;
    if (p == n) break;
    if (p + 1 == n) {
      state_ = State::Iac;
      break;
    }
    const auto next = static_cast<unsigned char>(chunk[p + 1]);
    if (next == kIac) {
      out += static_cast<char>(kIac);
      p += 2;
    } else if (next == kGa) {
      out += "\x01\x01";
      p += 2;
    } else {
      // Any other command: the IAC stays, and the byte after it is looked
      // at on its own.
      out += static_cast<char>(kIac);
      ++p;
    }
  }
}

// The default mode keeps every command in the text; only the server's word
// on echoing is noted.
void TelnetPass::ObserveEcho(std::string_view chunk) {
  std::size_t p = 0;
  const std::size_t n = chunk.size();
  while (p < n) {
    if (echo_scan_ == 0) {
      p = FindIac(chunk, p);
      if (p == n) break;
      echo_scan_ = 1;
      ++p;
      continue;
    }
    const auto b = static_cast<unsigned char>(chunk[p++]);
    switch (echo_scan_) {
      case 1: echo_scan_ = b == kWill ? 2 : b == kWont ? 3 : 0; break;
      default:
        if (b == kEcho) server_echoes_ = echo_scan_ == 2;
        echo_scan_ = b == kIac ? 1 : 0;
        break;
    }
  }
}

void TelnetPass::PassStandard(std::string_view chunk, std::string& out) {
  out.reserve(chunk.size());
  const std::size_t n = chunk.size();
  std::size_t p = 0;
  while (p < n) {
    if (state_ == State::Data) {
      const std::size_t iac = FindIac(chunk, p);
      out.append(chunk.substr(p, iac - p));
      p = iac;
      if (p == n) break;
      state_ = State::Iac;
      ++p;
      continue;
    }
    const auto b = static_cast<unsigned char>(chunk[p++]);
    switch (state_) {
      case State::Iac:
        if (b == kIac) {
          out += static_cast<char>(kIac);
          state_ = State::Data;
        } else if (b == kGa) {
          out += "\x01\x01";
          state_ = State::Data;
        } else if (b >= kWill) {
          verb_ = b;
          state_ = State::Verb;
        } else if (b == kSb) {
          state_ = State::Sub;
        } else if (b >= kSe) {
          // NOP, data mark, break, interrupt, abort output, are you there,
          // erase character, erase line: none of them is text.
          state_ = State::Data;
        } else {
          // Not a command at all: both bytes stay, nothing is lost.
          out += static_cast<char>(kIac);
          out += static_cast<char>(b);
          state_ = State::Data;
        }
        break;
      case State::Verb:
        Negotiate(verb_, b);
        state_ = State::Data;
        break;
      case State::Sub:
        if (b == kIac) state_ = State::SubIac;
        break;
      case State::SubIac:
        if (b == kSe) {
          state_ = State::Data;
        } else if (b == kIac) {
          state_ = State::Sub;  // a doubled 0xFF inside the subnegotiation
        } else {
          // A subnegotiation that never ended: the byte starts a command.
          state_ = State::Iac;
          --p;
        }
        break;
      case State::Data: break;
    }
  }
}

// Every option is refused but the server's echo, which it turns on while a
// password is typed.  Only changes are answered, so no two ends can keep
// answering each other.
void TelnetPass::Negotiate(unsigned char verb, unsigned char option) {
  if (option == kEcho && (verb == kWill || verb == kWont)) {
    const bool on = verb == kWill;
    if (on != server_echoes_) answers_ += Command(on ? kDo : kDont, kEcho);
    server_echoes_ = on;
    return;
  }
  if (verb == kDo)
    answers_ += Command(kWont, option);
  else if (verb == kWill)
    answers_ += Command(kDont, option);
}

}  // namespace tarnel
