#include "pipeline/display_filter.h"

#include <bit>
#include <cstring>

#include "interp/client.h"
#include "interp/emulator_feed.h"
#include "interp/words.h"
#include "pipeline/escape_stripper.h"
#include "text/case_fold.h"
#include "text/numbers.h"

namespace tarnel {

namespace {

using State = DisplayFilterState;
using Kind = State::Kind;
using Entry = State::Entry;
using Mark = State::Mark;

constexpr std::string_view kSave = "\x1b[81m";
constexpr std::string_view kRestore = "\x1b[82m";
constexpr std::string_view kBreak = "\r\n";
constexpr std::string_view kReplacesPrefix = "replaces.";
constexpr std::string_view kHighlightsPrefix = "highlights.";
constexpr unsigned char kEsc = 27;

// A key ready for matching: "^" in front became CR LF, "$" (or "^") at the
// end became CR LF.
struct Key {
  std::string_view text;
  bool lead = false;
  bool trail = false;
};

void Anchor(std::string& k, bool& lead, bool& trail) {
  lead = trail = false;
  if (!k.empty() && (k.back() == '$' || k.back() == '^')) {
    k.back() = '\r';
    k += '\n';
    trail = true;
  }
  if (!k.empty() && k.front() == '^') {
    k.front() = '\n';
    k.insert(k.begin(), '\r');
    lead = true;
  }
}

// Background n: "\e[4<n mod 8>m"; foreground n: "\e[0;3<n mod 8>m", bright
// from 8 on.  A negative number or a word that is not a number: no code.
std::string ColourCode(std::string_view word, bool background) {
  const auto n = text::ReadInteger(word);
  if (!n || *n < 0) return {};
  const char digit = static_cast<char>('0' + *n % 8);
  std::string code = background ? "\x1b[4" : (*n < 8 ? "\x1b[0;3" : "\x1b[1;3");
  code += digit;
  code += 'm';
  return code;
}

// The window the index waits for: the whole key when it is short, else its
// last four bytes without a blank or line break (digits and word ends tell
// keys apart better than their common beginnings), else its last four.
std::string Window(std::string_view key) {
  constexpr std::size_t kWidth = LiteralIndex::kLongestKey;
  if (key.size() <= kWidth) return std::string(key);
  for (std::size_t start = key.size() - kWidth + 1; start-- > 0;) {
    const std::string_view w = key.substr(start, kWidth);
    if (w.find_first_of(" \r\n") == std::string_view::npos) return std::string(w);
  }
  return std::string(key.substr(key.size() - kWidth));
}

void Prepare(Entry& e, const std::string& line, bool highlight) {
  e.line = line;
  const std::string_view name = TStringList::NameOf(line);
  const std::string_view value = TStringList::ValueOf(line);
  e.raw_key.assign(name.substr(highlight ? kHighlightsPrefix.size() : kReplacesPrefix.size()));
  e.key_has_vars = e.raw_key.find('%') != std::string::npos;
  e.key.clear();
  e.key_lead = e.key_trail = false;
  if (!e.key_has_vars) {
    e.key = e.raw_key;
    Anchor(e.key, e.key_lead, e.key_trail);
  }
  e.window = Window(e.key);
  e.value.clear();
  e.colours.clear();
  e.value_has_vars = false;
  if (highlight) {
    // "background [foreground [options]]", words separated by single blanks.
    const auto sp1 = value.find(' ');
    const auto sp2 = sp1 == std::string_view::npos ? sp1 : value.find(' ', sp1 + 1);
    const std::string_view back = value.substr(0, sp1);
    const std::string_view fore = sp1 == std::string_view::npos
                                      ? std::string_view()
                                      : value.substr(sp1 + 1, sp2 == std::string_view::npos
                                                                  ? std::string_view::npos
                                                                  : sp2 - sp1 - 1);
    const std::string_view options =
        sp2 == std::string_view::npos ? std::string_view() : value.substr(sp2 + 1);
    e.colours = ColourCode(fore, false) + ColourCode(back, true);
    e.kind = text::UpperAscii(options) == "/W" ? Kind::WordHighlight : Kind::LineHighlight;
  } else if (text::UpperAscii(value) == "/GAG") {
    e.kind = Kind::Gag;
  } else {
    e.kind = Kind::Replace;
    e.value_has_vars = value.find('%') != std::string_view::npos;
    // With variables the value is kept as written and finished on use.
    e.value = e.value_has_vars ? std::string(value) : ControlBytes(value);
  }
}

bool IsHighlight(Kind k) { return k == Kind::LineHighlight || k == Kind::WordHighlight; }

// The entries in the order of the variables list; unchanged lines keep what
// was prepared from them.  Server text changes a few variables on every
// line, so the list is only walked again when lines came or went.
void RefreshEntries(State& st, TStringList& vars) {
  if (st.changes_stamp == vars.Changes() && st.changes_stamp != 0) return;
  if (st.layout_stamp == vars.LayoutChanges() && st.layout_stamp != 0) {
    for (std::size_t k = 0; k < st.entries.size(); ++k) {
      const std::string& line = vars[st.positions[k]];
      if (line != st.entries[k].line) {
        Prepare(st.entries[k], line, IsHighlight(st.entries[k].kind));
        st.index_stale = true;
      }
    }
    st.changes_stamp = vars.Changes();
    return;
  }
  std::size_t k = 0;
  st.positions.clear();
  for (int i = 0; i < vars.Count(); ++i) {
    const std::string& line = vars[i];
    if (line.size() < kReplacesPrefix.size()) continue;
    const char first = static_cast<char>(line[0] | 0x20);
    if (first != 'r' && first != 'h') continue;
    bool highlight;
    if (text::StartsWithText(line, kReplacesPrefix))
      highlight = false;
    else if (text::StartsWithText(line, kHighlightsPrefix))
      highlight = true;
    else
      continue;
    const std::string_view name = TStringList::NameOf(line);
    if (name.empty()) continue;
    // The group's own setting is not an entry.
    const std::string_view key =
        name.substr(highlight ? kHighlightsPrefix.size() : kReplacesPrefix.size());
    if (text::SameText(key, "_autosave")) continue;
    st.positions.push_back(i);
    if (k < st.entries.size() && st.entries[k].line == line) {
      ++k;
      continue;
    }
    if (k == st.entries.size()) st.entries.emplace_back();
    Prepare(st.entries[k], line, highlight);
    st.index_stale = true;
    ++k;
  }
  if (k != st.entries.size()) st.index_stale = true;
  st.entries.resize(k);
  st.layout_stamp = vars.LayoutChanges();
  st.changes_stamp = vars.Changes();
}

// Whether the visible bytes of `w` from p on spell `key`; colour codes
// between them are skipped.  `last` is the last byte of the match.
bool MatchAt(std::string_view w, std::size_t p, std::string_view key, std::size_t& last) {
  std::size_t k = 0;
  std::size_t j = p;
  const std::size_t n = w.size();
  // Plain text first; the escape reader is only set up at the first ESC.
  for (; j < n; ++j) {
    const auto b = static_cast<unsigned char>(w[j]);
    if (b == kEsc) break;
    if (w[j] != key[k]) return false;
    if (++k == key.size()) {
      last = j;
      return true;
    }
  }
  // A colour code between the key's letters is passed over whole.
  while (j < n) {
    if (static_cast<unsigned char>(w[j]) == kEsc) {
      j = EscapeStripper::SequenceEnd(w, j);
      continue;
    }
    if (w[j] != key[k]) return false;
    if (++k == key.size()) {
      last = j;
      return true;
    }
    ++j;
  }
  return false;
}

// The next position from `from` on that can start a match of a key
// beginning with `first`, `second`: the first byte followed by the second,
// or by ESC (a colour code inside the match), or by nothing.  Sixteen bytes
// are compared at a time: this search is most of the filter's work.
std::size_t NextCandidate(std::string_view w, std::size_t from, char first, char second) {
  using Bytes = char __attribute__((vector_size(16)));
  static_assert(std::endian::native == std::endian::little, "lane order of the hit mask");
  const char* d = w.data();
  const std::size_t n = w.size();
  // A scalar operand is spread over all lanes.
  const Bytes f = Bytes{} + first;
  const Bytes s = Bytes{} + second;
  const Bytes e = Bytes{} + static_cast<char>(kEsc);
  std::size_t p = from;
  for (; p + 17 <= n; p += 16) {
    Bytes a, b;
    std::memcpy(&a, d + p, 16);
    std::memcpy(&b, d + p + 1, 16);
    const Bytes hit = (a == f) & ((b == s) | (b == e));
    std::uint64_t lo, hi;
    std::memcpy(&lo, &hit, 8);
    std::memcpy(&hi, reinterpret_cast<const char*>(&hit) + 8, 8);
    if ((lo | hi) == 0) continue;
    // Lanes are 0x00 or 0xFF; the lowest set lane is the first hit.
    return p + (lo != 0 ? static_cast<std::size_t>(__builtin_ctzll(lo)) / 8
                        : 8 + static_cast<std::size_t>(__builtin_ctzll(hi)) / 8);
  }
  for (; p < n; ++p) {
    if (d[p] != first) continue;
    if (p + 1 == n || d[p + 1] == second || static_cast<unsigned char>(d[p + 1]) == kEsc) return p;
  }
  return std::string_view::npos;
}

// Whether a byte of the text is something the player reads, as a stripper
// that read the text from its start sees it.
//
// A byte is hidden when it is an ESC or when the last ESC before it began a
// sequence that has not ended by then.  Whether that ESC began one depends
// on the ESC before it only while that one's sequence would reach it (an
// ESC inside a sequence ends the sequence instead), so the answer is
// nearly always found a few bytes back.  A long chain of such ESCs is read
// forward instead, once for all the positions asked about (they only
// grow).
class VisibleBytes {
 public:
  explicit VisibleBytes(std::string_view w) : w_(w) {}

  bool At(std::size_t p) {
    if (static_cast<unsigned char>(w_[p]) == kEsc) return false;
    const std::size_t last = LastEscBefore(p);
    if (last == kNone) return true;
    // How many ESCs in a row before `last` each fall inside the sequence
    // of the one before them.
    std::size_t e = last;
    int chained = 0;
    for (;;) {
      const std::size_t before = LastEscBefore(e);
      if (before == kNone || EscapeStripper::SequenceEnd(w_, before) <= e) break;
      if (++chained > kLongestChain) return Forward(p);
      e = before;
    }
    // Of such a chain every other ESC begins a sequence, counting from the
    // first, which does.
    const bool begins = chained % 2 == 0;
    return !(begins && EscapeStripper::SequenceEnd(w_, last) > p);
  }

 private:
  static constexpr std::size_t kNone = std::string_view::npos;
  // No sequence runs longer than this: ESC, its first byte and at most 254
  // collected ones.
  static constexpr std::size_t kLongestSequence = 256;
  static constexpr int kLongestChain = 16;

  std::size_t LastEscBefore(std::size_t p) const {
    const std::size_t from = p > kLongestSequence ? p - kLongestSequence : 0;
    const void* hit = ::memrchr(w_.data() + from, kEsc, p - from);
    return hit == nullptr ? kNone : static_cast<std::size_t>(static_cast<const char*>(hit) - w_.data());
  }

  // The same answer read from the start, a sequence at a time.
  bool Forward(std::size_t p) {
    // The sequence [start_, end_) is the first that ends after p.
    while (end_ <= p) {
      const void* esc = std::memchr(w_.data() + end_, kEsc, w_.size() - end_);
      if (esc == nullptr) {
        start_ = end_ = w_.size();
        return true;
      }
      start_ = static_cast<std::size_t>(static_cast<const char*>(esc) - w_.data());
      end_ = EscapeStripper::SequenceEnd(w_, start_);
    }
    return p < start_;
  }

  std::string_view w_;
  std::size_t start_ = 0;
  std::size_t end_ = 0;
};

// Calls found(p, last) for every match of the key in the framed text, in
// order: p is where it starts and last its last byte.  False without one.
// A match starts only where the player reads text: a byte that an escape
// sequence begun before it swallows (after a lone ESC) starts none, or the
// colour codes put in its place would end up inside that sequence.
template <typename Found>
bool ForEachMatch(const std::string& w, std::string_view k, Found&& found) {
  const std::size_t n = w.size();
  // Most keys do not occur in a chunk at all: one plain byte search settles
  // that faster than the pair search.
  const void* first = std::memchr(w.data(), k[0], n);
  if (first == nullptr) return false;
  std::size_t i = static_cast<std::size_t>(static_cast<const char*>(first) - w.data());
  bool any = false;
  VisibleBytes visible(w);
  while (i < n) {
    std::size_t p;
    if (k.size() == 1) {
      const void* hit = std::memchr(w.data() + i, k[0], n - i);
      if (hit == nullptr) break;
      p = static_cast<std::size_t>(static_cast<const char*>(hit) - w.data());
    } else {
      p = NextCandidate(w, i, k[0], k[1]);
      if (p == std::string_view::npos) break;
    }
    std::size_t last = 0;
    // Most candidates fail on their own bytes; only a match asks whether it
    // starts in visible text, so a key that never matches never reads the
    // text's escape sequences.
    if (!MatchAt(w, p, k, last) || !visible.At(p)) {
      i = p + 1;
      continue;
    }
    any = true;
    found(p, last);
    i = last + 1;
  }
  return any;
}

// Cuts every match out of the framed text and records where it stood;
// then drops the frame's line breaks that no match took.  False without a
// match.
bool MarkMatches(State& st, const Key& key) {
  const std::string& w = st.framed;
  const std::size_t n = w.size();
  st.marks.clear();
  std::size_t copied = 0;
  const bool any = ForEachMatch(w, key.text, [&](std::size_t p, std::size_t last) {
    if (st.marks.empty()) {
      // The framed text still begins with its own CR LF unless this first
      // match took one of those bytes; then they go at once.
      st.marked.clear();
      copied = p >= kBreak.size() ? kBreak.size() : 0;
    }
    st.marked.append(w, copied, p - copied);
    st.marks.push_back({st.marked.size(), key.lead && p >= kBreak.size(), key.trail && last + 1 != n});
    copied = last + 1;
  });
  if (!any) return false;
  st.marked.append(w, copied, std::string::npos);
  std::string& t = st.marked;
  if (t.size() >= 2 && t.compare(t.size() - 2, 2, kBreak) == 0 &&
      st.marks.back().pos + 2 <= t.size())
    t.resize(t.size() - 2);
  return true;
}

// What MarkMatches and then ApplyMarks make of a replace with a fixed
// value, in one pass and one copy: every match gives way to the value, and
// the result is framed by CR LF again.
bool ReplaceMatches(State& st, const Key& key, std::string_view value) {
  const std::string& w = st.framed;
  std::string& out = st.result;
  std::size_t copied = 0;
  bool started = false;
  const bool any = ForEachMatch(w, key.text, [&](std::size_t p, std::size_t last) {
    if (!started) {
      started = true;
      out.assign(kBreak);
      copied = p >= kBreak.size() ? kBreak.size() : 0;
    }
    out.append(w, copied, p - copied).append(value);
    copied = last + 1;
  });
  if (!any) return false;
  // The text after the last match still ends in the frame's CR LF when it
  // is two bytes long or more; else the match took some of it.
  out.append(w, copied, std::string::npos);
  if (w.size() - copied < kBreak.size()) out += kBreak;
  return true;
}

// Appends what the player reads of the span.  Returns the escape sequence
// the span leaves unfinished (from its ESC on): it goes on into the text
// after the span, which it may still swallow a byte of, so it is put back
// in front of that text.
std::string_view AppendVisible(std::string& out, std::string_view span) {
  if (span.find(static_cast<char>(kEsc)) == std::string_view::npos) {
    out.append(span);
    return {};
  }
  EscapeStripper stripper;
  std::size_t open = 0;
  for (std::size_t i = 0; i < span.size(); ++i) {
    const bool was_inside = stripper.Inside();
    bool overflowed = false;
    if (stripper.Feed(static_cast<unsigned char>(span[i]), overflowed)) out += span[i];
    if (!was_inside && stripper.Inside()) open = i;
  }
  return stripper.Inside() ? span.substr(open) : std::string_view();
}

// Puts the entry's work in place of every marker.  The result keeps the
// frame's leading CR LF, which stands for "the start of the text" when a
// line start is looked for.
void ApplyMarks(State& st, const Entry& e, const Key& key, const std::string& value) {
  const std::string& t = st.marked;
  const std::vector<Mark>& marks = st.marks;
  const std::string_view k = key.text;
  const std::size_t lead = key.lead ? kBreak.size() : 0;
  const std::size_t trail = key.trail ? kBreak.size() : 0;
  std::string& out = st.result;
  out.assign(kBreak);
  std::size_t c = 0;
  for (std::size_t i = 0; i < marks.size();) {
    const Mark& mark = marks[i];
    if (mark.pos < c) {  // inside a line already removed or coloured
      ++i;
      continue;
    }
    out.append(t, c, mark.pos - c);
    c = mark.pos;
    ++i;
    switch (e.kind) {
      case Kind::Replace:
        out += value;
        break;
      case Kind::WordHighlight:
        out.append(kSave).append(e.colours).append(k).append(kRestore);
        break;
      case Kind::Gag: {
        // A line break that the match took from the text belongs to the
        // neighbouring line (before a "^" key) or ends the gagged line
        // (after a "$" key): only the matched line goes.
        if (mark.took_leading_break) out += kBreak;
        out.resize(out.rfind('\n') + 1);
        if (!mark.took_trailing_break) {
          const auto lf = t.find('\n', c);
          c = lf == std::string::npos ? t.size() : lf + 1;
        }
        break;
      }
      case Kind::LineHighlight: {
        // The line around the key's visible part: its own line breaks (put
        // back with it) bound the line, so no neighbour is coloured.
        out.append(k.substr(0, lead));
        const std::size_t start = out.rfind('\n') + 1;
        st.span.assign(out, start, std::string::npos);
        out.resize(start);
        st.span.append(k.substr(lead, k.size() - lead - trail));
        if (trail == 0) {
          std::size_t end = t.find('\r', c);
          if (end == std::string::npos) end = t.size();
          std::size_t from = c;
          if (lead != 0) {
            if (i < marks.size() && marks[i].pos < end) end = marks[i].pos;
          } else {
            // Further matches on the same line: each puts its key back and
            // the line is coloured once.
            for (; i < marks.size() && marks[i].pos <= end; ++i) {
              st.span.append(t, from, marks[i].pos - from);
              st.span += k;
              from = marks[i].pos;
            }
          }
          st.span.append(t, from, end - from);
          c = end;
        }
        out.append(kSave).append(e.colours);
        const std::string_view open = AppendVisible(out, st.span);
        out.append(kRestore).append(open);
        out.append(k.substr(k.size() - trail));
        break;
      }
    }
  }
  out.append(t, c, std::string::npos);
  out += kBreak;
}

void RebuildIndex(State& st) {
  st.index.Clear();
  for (std::size_t k = 0; k < st.entries.size(); ++k) {
    const Entry& e = st.entries[k];
    if (!e.key_has_vars && !e.window.empty()) st.index.Add(static_cast<std::uint32_t>(k), e.window);
  }
  st.found_in.assign(st.entries.size(), 0);
  st.pass = 0;
  st.index_stale = false;
}

// Marks the entries whose window the text, as the player reads it, holds.
void FindCandidates(State& st) {
  st.stripped.clear();
  EscapeStripper stripper;
  stripper.StripInto(st.framed, st.stripped);
  st.found.clear();
  st.index.Find(st.stripped, st.found);
  if (++st.pass == 0) {
    std::fill(st.found_in.begin(), st.found_in.end(), 0);
    st.pass = 1;
  }
  for (const std::uint32_t k : st.found) st.found_in[k] = st.pass;
}

}  // namespace

std::string_view DisplayFilter(Client& client, std::string_view text, std::string& out) {
  State& st = client.display_filter;
  RefreshEntries(st, client.store.Variables());
  const bool autostats = client.store.GroupOn("autostats");
  if (st.entries.empty() && !autostats) return text;
  if (st.index_stale) RebuildIndex(st);

  st.framed.assign(kBreak).append(text).append(kBreak);
  // Asking the index costs a pass to strip the text and one per key length;
  // an entry's own search costs about a tenth of that.  So the index is
  // asked when enough entries are left to search: at the start, and again
  // after an entry changed the text.
  auto worth_asking = [&](std::size_t entries_left) {
    return st.use_index && !st.index.Empty() &&
           entries_left >= 4 + 8 * static_cast<std::size_t>(st.index.Passes());
  };
  bool indexed = worth_asking(st.entries.size());
  if (indexed) FindCandidates(st);
  std::string substituted;
  std::string finished;
  for (std::size_t k = 0; k < st.entries.size(); ++k) {
    const Entry& e = st.entries[k];
    if (indexed && !e.key_has_vars && st.found_in[k] != st.pass) continue;
    Key key{e.key, e.key_lead, e.key_trail};
    if (e.key_has_vars) {
      substituted = client.interp.SubstituteVariables(e.raw_key, st.no_locals);
      Anchor(substituted, key.lead, key.trail);
      key.text = substituted;
    }
    if (key.text.empty()) continue;
    if (e.kind == Kind::Replace && !e.value_has_vars && st.one_pass_replaces) {
      if (!ReplaceMatches(st, key, e.value)) continue;
    } else {
      if (!MarkMatches(st, key)) continue;
      // The value's variables are read once the key has matched.
      if (e.value_has_vars)
        finished = ControlBytes(client.interp.SubstituteVariables(e.value, st.no_locals));
      ApplyMarks(st, e, key, e.value_has_vars ? finished : e.value);
    }
    std::swap(st.framed, st.result);
    if (indexed) {
      indexed = worth_asking(st.entries.size() - k - 1);
      if (indexed) FindCandidates(st);
    }
  }
  out.assign(st.framed, kBreak.size(), st.framed.size() - 2 * kBreak.size());
  if (autostats) AnnotateItems(client, out);
  return out;
}

std::string DisplayFilter(Client& client, std::string_view text) {
  std::string out;
  return std::string(DisplayFilter(client, text, out));
}

}  // namespace tarnel
