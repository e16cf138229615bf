#include "pipeline/escape_stripper.h"

#include <bit>
#include <cstdint>
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
  using Block = char __attribute__((vector_size(16)));
  static_assert(std::endian::native == std::endian::little, "lane order of the hit mask");
  int overflows = 0;
  const std::size_t base = out.size();
  const std::size_t n = text.size();
  // Room for all of the text and one block more: plain text is copied a
  // block of sixteen bytes at a time, and the block that holds the next
  // ESC is copied whole, though only its bytes before the ESC are kept.
  out.resize(base + n + sizeof(Block));
  char* w = out.data() + base;
  const char* d = text.data();
  const Block esc = Block{} + static_cast<char>(27);
  std::size_t i = 0;
  while (i < n) {
    if (!state_.inside) {
      // Text up to the next ESC goes through unchanged.
      for (;;) {
        if (n - i < sizeof(Block)) {
          while (i < n && d[i] != 27) *w++ = d[i++];
          break;
        }
        Block b;
        std::memcpy(&b, d + i, sizeof b);
        std::memcpy(w, &b, sizeof b);
        const Block hit = b == esc;
        std::uint64_t lo, hi;
        std::memcpy(&lo, &hit, 8);
        std::memcpy(&hi, reinterpret_cast<const char*>(&hit) + 8, 8);
        if ((lo | hi) == 0) {
          i += sizeof b;
          w += sizeof b;
          continue;
        }
        // Lanes are 0x00 or 0xFF; the lowest set lane is the ESC.
        const std::size_t k = lo != 0 ? static_cast<std::size_t>(__builtin_ctzll(lo)) / 8
                                      : 8 + static_cast<std::size_t>(__builtin_ctzll(hi)) / 8;
        i += k;
        w += k;
        break;
      }
      if (i == n) break;
      // A sequence that ends within the text and is far too short to be
      // abandoned leaves nothing: it is passed over whole.
      const std::size_t after = SequenceEnd(text, i);
      if (after < n && after - i < 128) {
        i = after;
        continue;
      }
    }
    bool over = false;
    if (Feed(static_cast<unsigned char>(d[i]), over)) *w++ = d[i];
    if (over) ++overflows;
    ++i;
  }
  out.resize(static_cast<std::size_t>(w - out.data()));
  return overflows;
}

}  // namespace tarnel
