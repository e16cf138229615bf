// The trigger pattern matcher written the plain way, one byte at a time,
// exactly as the rules read.  Tests and the fuzz target hold the real one
// against it, so its shortcuts can never change a result.
#pragma once

#include <string>
#include <string_view>

#include "pipeline/match_pattern.h"

namespace tarnel::test {

inline bool ReferenceMatchPattern(std::string_view pattern, std::string_view s,
                                  CaptureList& captures) {
  std::string p(pattern);
  std::size_t i = 1, j = 1, start = 0, literal = 1;  // 1-based, as the rules count
  bool capturing = false, matching = false;
  char name = '0';
  const auto strip = [](std::string_view t) {
    while (!t.empty() && (t.front() == '\r' || t.front() == '\n')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == '\r' || t.back() == '\n')) t.remove_suffix(1);
    return t;
  };
  const auto close = [&] {
    // Up to position j - (i - l) - 1, inclusive.
    const long last = static_cast<long>(j) - static_cast<long>(i - literal) - 1;
    std::string_view text;
    if (last >= static_cast<long>(start))
      text = s.substr(start - 1, static_cast<std::size_t>(last) - start + 1);
    if (captures.counter < 128) ++captures.counter;
    captures.items[captures.counter].name[1] = name;
    captures.items[captures.counter].text.assign(strip(text));
  };
  while (j <= s.size() && i <= p.size()) {
    const char c = p[i - 1];
    if (c == '%' && i < p.size() && p[i] >= '0' && p[i] <= '9') {
      if (capturing) {
        if (!matching) return false;
        close();
        capturing = matching = false;
      } else {
        name = p[i];
        i += 2;
        literal = i;
        start = j;
        capturing = true;
        matching = false;
        if (i > p.size()) p += '\r';
      }
      continue;
    }
    if (c == s[j - 1]) {
      matching = true;
      ++i;
    } else {
      matching = false;
      i = literal;
    }
    ++j;
  }
  if (i <= p.size() || !(capturing || matching)) return false;
  if (capturing) close();
  return true;
}

}  // namespace tarnel::test
