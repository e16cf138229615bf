#include "terminal/sgr_resolver.h"

namespace tarnel {

namespace {

constexpr std::size_t kMaxSequence = 80;

bool IsCsiFinal(unsigned char c) { return c >= 0x40 && c <= 0x7E; }

}  // namespace

bool SgrResolver::ApplySgr(std::string_view params) {
  bool private_codes = false;
  if (params.empty()) {
    attr_ = 7;
    reverse_ = false;
    return false;
  }
  std::size_t i = 0;
  while (i < params.size()) {
    const char c = params[i];
    if (c < '0' || c > '9') {
      ++i;
      continue;
    }
    int n = 0;
    while (i < params.size() && params[i] >= '0' && params[i] <= '9') {
      if (n < 100000) n = n * 10 + (params[i] - '0');
      ++i;
    }
    switch (n) {
      case 0:
      case 27:
        attr_ = 7;
        reverse_ = false;
        break;
      case 1: attr_ |= 0x08; break;
      case 5: attr_ |= 0x80; break;
      case 7: reverse_ = true; break;
      case 8: attr_ = 0; break;
      case 22: attr_ &= static_cast<std::uint8_t>(~0x08); break;
      case 81:
        private_codes = true;
        if (depth_ < 130) stack_[++depth_] = attr_;
        break;
      case 82:
        private_codes = true;
        if (depth_ >= 0) attr_ = stack_[depth_--];
        break;
      default:
        if (n >= 30 && n <= 37) attr_ = static_cast<std::uint8_t>((attr_ & ~0x07) | (n - 30));
        if (n >= 40 && n <= 47) attr_ = static_cast<std::uint8_t>((attr_ & ~0x70) | ((n - 40) << 4));
        break;
    }
  }
  if (reverse_) {
    const int fg = attr_ & 0x07;
    const int bg = (attr_ >> 4) & 0x07;
    attr_ = static_cast<std::uint8_t>((attr_ & 0x88) | (fg << 4) | bg);
  }
  return private_codes;
}

std::string SgrResolver::AttributeSgr() const {
  std::string s = "\x1b[0;";
  if (attr_ & 0x08) s += "1;";
  s += '3';
  s += static_cast<char>('0' + (attr_ & 0x07));
  const int bg = (attr_ >> 4) & 0x07;
  if (bg != 0) {
    s += ";4";
    s += static_cast<char>('0' + bg);
  }
  if (attr_ & 0x80) s += ";5";
  s += 'm';
  return s;
}

void SgrResolver::Flush(std::string& out) {
  out += '\x1b';
  out += seq_;
  seq_.clear();
  in_escape_ = false;
}

std::string SgrResolver::Process(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (!in_escape_) {
      if (c == 0x1B) {
        in_escape_ = true;
        seq_.clear();
      } else {
        out += ch;
      }
      continue;
    }
    seq_ += ch;
    if (seq_.size() == 1) {
      if (c != '[') Flush(out);  // not a control sequence: passes unchanged
      continue;
    }
    if (IsCsiFinal(c)) {
      if (c == 'm') {
        const std::string_view params = std::string_view(seq_).substr(1, seq_.size() - 2);
        if (ApplySgr(params)) {
          out += AttributeSgr();
          seq_.clear();
          in_escape_ = false;
          continue;
        }
      }
      Flush(out);
    } else if (seq_.size() >= kMaxSequence) {
      Flush(out);
    }
  }
  return out;
}

}  // namespace tarnel
