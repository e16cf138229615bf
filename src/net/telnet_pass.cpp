#include "net/telnet_pass.h"

#include <cstring>

namespace tarnel {

namespace {

constexpr char kIac = '\xFF';
constexpr char kGa = '\xF9';

}  // namespace

std::string TelnetPass::Pass(std::string_view chunk) {
  std::string out;
  if (!held_iac_ && std::memchr(chunk.data(), kIac, chunk.size()) == nullptr) {
    out.assign(chunk);
    return out;
  }
  std::string joined;
  if (held_iac_) {
    held_iac_ = false;
    joined.reserve(chunk.size() + 1);
    joined += kIac;
    joined.append(chunk);
    chunk = joined;
  }
  out.reserve(chunk.size());
  const std::size_t n = chunk.size();
  std::size_t p = 0;
  while (p < n) {
    const void* hit = std::memchr(chunk.data() + p, kIac, n - p);
    const std::size_t iac =
        hit == nullptr ? n : static_cast<std::size_t>(static_cast<const char*>(hit) - chunk.data());
    out.append(chunk.substr(p, iac - p));
    p = iac;
    if (p == n) break;
    if (p + 1 == n) {
      held_iac_ = true;
      break;
    }
    const char next = chunk[p + 1];
    if (next == kIac) {
      out += kIac;
      p += 2;
    } else if (next == kGa) {
      out += "\x01\x01";
      p += 2;
    } else {
      // Any other command: the IAC stays, and the byte after it is looked
      // at on its own.
      out += kIac;
      ++p;
    }
  }
  return out;
}

std::string TelnetPass::Flush() {
  if (!held_iac_) return {};
  held_iac_ = false;
  return std::string(1, kIac);
}

}  // namespace tarnel
