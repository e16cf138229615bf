#include "pipeline/escape_stripper.h"

#include <cstring>

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

std::size_t EscapeStripper::SequenceEnd(std::string_view text, std::size_t esc) {
  const std::size_t n = text.size();
  std::size_t i = esc + 1;
  if (i >= n) return n;
  const auto first = static_cast<unsigned char>(text[i++]);
  // The byte after ESC ends a two-byte sequence, or starts the collected
  // part; anything else ends the sequence too.  Either way it is swallowed.
  if (IsTwoByteFinal(first)) return i;
  const bool collected = first == ' ' || (first >= '0' && first <= '9') || first == ';' || first == '?';
  if (!collected && !IsCharsetIntroducer(first) && first != '[') return i;
  // A charset introducer takes exactly one more byte.
  if (IsCharsetIntroducer(first)) return i < n ? i + 1 : n;
  std::size_t length = 1;
  while (i < n) {
    const auto c = static_cast<unsigned char>(text[i++]);
    if (c == ' ' || (c >= '0' && c <= '9') || c == ';' || c == '?') {
      if (++length >= 255) return i;  // abandoned as too long
      continue;
    }
    return i;  // the final byte
  }
  return n;
}

int EscapeStripper::StripInto(std::string_view text, std::string& out) {
  int overflows = 0;
  out.reserve(out.size() + text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (!state_.inside) {
      // Text up to the next ESC goes through unchanged, in one piece.
      const void* esc = std::memchr(text.data() + i, 27, text.size() - i);
      const std::size_t end = esc == nullptr ? text.size() : static_cast<std::size_t>(static_cast<const char*>(esc) - text.data());
      out.append(text.substr(i, end - i));
      i = end;
      if (i == text.size()) break;
      // A sequence that ends within the text and is far too short to be
      // abandoned leaves nothing: it is passed over whole.
      const std::size_t after = SequenceEnd(text, i);
      if (after < text.size() && after - i < 128) {
        i = after;
        continue;
      }
    }
    bool over = false;
    if (Feed(static_cast<unsigned char>(text[i]), over)) out += text[i];
    if (over) ++overflows;
    ++i;
  }
  return overflows;
}

}  // namespace tarnel
