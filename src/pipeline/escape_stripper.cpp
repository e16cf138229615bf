#include "pipeline/escape_stripper.h"

namespace tarnel {

namespace {

bool IsTwoByteFinal(unsigned char c) {
  switch (c) {
    case '7': case '8': case '<': case '=': case '>': case 'D': case 'E': case 'H': case 'M':
      return true;
    default:
      return false;
  }
}

bool IsCharsetIntroducer(unsigned char c) { return c == '(' || c == ')' || c == '*' || c == '+'; }

}  // namespace

bool EscapeStripper::Feed(unsigned char c, bool& overflowed) {
  overflowed = false;
  if (!state_.inside) {
    if (c == 27) {
      state_.inside = true;
      state_.length = 0;
      return false;
    }
    return true;
  }
  const unsigned len = state_.length;
  if (len == 0 && IsTwoByteFinal(c)) {
    End();
  } else if (len == 1 && IsCharsetIntroducer(static_cast<unsigned char>(state_.buffer[0]))) {
    End();
  } else if (c == ' ' || (c >= '0' && c <= '9') || c == ';' || c == '?' ||
             (len == 0 && (IsCharsetIntroducer(c) || c == '['))) {
    state_.buffer[len] = static_cast<char>(c);
    state_.length = static_cast<unsigned char>(len + 1);
    if (state_.length >= 255) {
      End();
      overflowed = true;
    }
  } else {
    End();
  }
  return false;
}

int EscapeStripper::StripInto(std::string_view text, std::string& out) {
  int overflows = 0;
  out.reserve(out.size() + text.size());
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (!state_.inside && c != 27) {
      out += ch;
      continue;
    }
    bool over = false;
    if (Feed(c, over)) out += ch;
    if (over) ++overflows;
  }
  return overflows;
}

}  // namespace tarnel
