#include "pipeline/match_pattern.h"

namespace tarnel {

namespace {

std::string_view StripLineEnds(std::string_view s) {
  while (!s.empty() && (s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

}  // namespace

bool MatchPattern(std::string_view pattern_in, std::string_view subject, CaptureList& captures) {
  // Positions are 0-based here; the pattern may grow by one CR when it ends
  // with a capture, so the capture runs to the end of the line.
  std::string pattern_copy;
  std::string_view p = pattern_in;
  const std::string_view s = subject;
  std::size_t i = 0, j = 0;
  bool capturing = false, matching = false;
  std::size_t start = 0;    // where the open capture begins in the subject
  std::size_t literal = 0;  // where the current literal run begins in the pattern
  char name = '0';

  auto close_capture = [&] {
    // The capture ends just before the literal run that has just matched.
    const std::size_t run = i - literal;
    const std::size_t end = j >= run ? j - run : 0;
    const std::string_view text =
        end > start ? StripLineEnds(s.substr(start, end - start)) : std::string_view();
    if (captures.counter < CaptureList::kSize - 1) ++captures.counter;
    auto& c = captures.items[captures.counter];
    c.name[1] = name;
    c.text.assign(text);
  };

  while (j < s.size() && i < p.size()) {
    const char c = p[i];
    if (c == '%' && i + 1 < p.size() && p[i + 1] >= '0' && p[i + 1] <= '9') {
      if (capturing) {
        if (!matching) return false;  // two captures with nothing between them
        close_capture();
        capturing = matching = false;
        continue;
      }
      name = p[i + 1];
      i += 2;
      literal = i;
      start = j;
      capturing = true;
      matching = false;
      if (i >= p.size()) {
        pattern_copy.assign(p);
        pattern_copy += '\r';
        p = pattern_copy;
      }
      continue;
    }
    if (c == s[j]) {
      matching = true;
      ++i;
    } else {
      matching = false;
      i = literal;
    }
    ++j;
  }
  if (i < p.size() || !(capturing || matching)) return false;
  if (capturing) close_capture();
  return true;
}

}  // namespace tarnel
