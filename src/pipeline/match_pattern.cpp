#include "pipeline/match_pattern.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace tarnel {

namespace {

std::string_view StripLineEnds(std::string_view s) {
  while (!s.empty() && (s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

}  // namespace

bool MatchPattern(std::string_view p, std::string_view s, CaptureList& captures) {
  // Positions are 0-based here.  A pattern that ends with a capture is read
  // as if a CR followed it (m grows by one), so the capture runs to the end
  // of the line.
  std::size_t m = p.size();
  const std::size_t n = s.size();
  const auto at = [&](std::size_t k) { return k < p.size() ? p[k] : '\r'; };
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

  while (j < n && i < m) {
    const char c = at(i);
    if (c == '%' && i + 1 < m && at(i + 1) >= '0' && at(i + 1) <= '9') {
      if (capturing) {
        if (!matching) return false;  // two captures with nothing between them
        close_capture();
        capturing = matching = false;
        continue;
      }
      name = at(i + 1);
      i += 2;
      literal = i;
      start = j;
      capturing = true;
      matching = false;
      if (i >= m) m = p.size() + 1;
      continue;
    }
    if (c == s[j]) {
      matching = true;
      ++i;
      ++j;
      continue;
    }
    matching = false;
    if (i == literal) {
      // Nothing of this run matched yet, so every byte up to the next one
      // equal to c would fail the same way: go straight there.
      const void* hit = std::memchr(s.data() + j + 1, static_cast<unsigned char>(c), n - j - 1);
      j = hit == nullptr ? n : static_cast<std::size_t>(static_cast<const char*>(hit) - s.data());
    } else {
      // The byte that broke a partial match is not tried again as a start.
      i = literal;
      ++j;
    }
  }
  if (i < m || !(capturing || matching)) return false;
  if (capturing) close_capture();
  return true;
}

void SubstituteCaptures(std::string_view command, const CaptureList& captures, std::string& out) {
  // When no captured text holds a "%" and the command no "%%", no
  // replacement can make a name that a later one would meet: one pass
  // over the command, each name taking the text of the first capture of
  // that name, gives what the replacements in turn give.
  int first[10];
  std::fill(std::begin(first), std::end(first), -1);
  bool one_pass = command.find("%%") == std::string_view::npos;
  for (int c = 0; one_pass && c <= captures.counter; ++c) {
    const CaptureList::Capture& cap = captures.items[c];
    const char digit = cap.name[1];
    if (cap.name[0] != '%' || digit < '0' || digit > '9' || cap.text.find('%') != std::string::npos) {
      one_pass = false;
    } else if (first[digit - '0'] < 0) {
      first[digit - '0'] = c;
    }
  }
  out.clear();
  if (one_pass) {
    out.reserve(command.size() + 64);
    std::size_t from = 0;
    for (;;) {
      const std::size_t at = command.find('%', from);
      if (at == std::string_view::npos || at + 1 >= command.size()) break;
      const char digit = command[at + 1];
      if (digit < '0' || digit > '9' || first[digit - '0'] < 0) {
        out.append(command, from, at + 1 - from);
        from = at + 1;
        continue;
      }
      out.append(command, from, at - from);
      out.append(captures.items[first[digit - '0']].text);
      from = at + 2;
    }
    out.append(command, from, std::string_view::npos);
    return;
  }
  out.assign(command);
  std::string next;
  for (int c = 0; c <= captures.counter; ++c) {
    const CaptureList::Capture& cap = captures.items[c];
    const std::string_view name = cap.Name();
    std::size_t hit = out.find(name);
    if (hit == std::string::npos) continue;
    next.clear();
    std::size_t from = 0;
    for (; hit != std::string::npos; hit = out.find(name, from)) {
      next.append(out, from, hit - from).append(cap.text);
      from = hit + name.size();
    }
    next.append(out, from, std::string::npos);
    out.swap(next);
  }
}

}  // namespace tarnel
