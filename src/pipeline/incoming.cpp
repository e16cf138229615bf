#include "pipeline/incoming.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

#include "interp/client.h"
#include "interp/words.h"
#include "pipeline/display_filter.h"
#include "stats/stats_database.h"
#include "text/case_fold.h"

namespace tarnel {

namespace {

constexpr std::string_view kGa = "\x01\x01";

// A line longer than this (its raw bytes) ends as if a line end had come
// and its rest starts a new line: a server that never ends a line must not
// fill the memory.
constexpr std::size_t kLongestLine = 1 << 20;
// A queued line begins with the LF that frames it for the patterns (see
// Incoming::Framed), one byte more than the line.
constexpr std::size_t kLongestEntry = kLongestLine + 1;
// Stats text collected without its end marker in sight is parsed when it
// grows this long.
constexpr std::size_t kLongestStatsText = 1 << 20;

// Chunk buffers larger than this are given back after use.
constexpr std::size_t kKeptChunkStorage = 4 << 20;

// ReplaceAll into a buffer that keeps its storage.
void ReplaceInto(std::string& out, std::string_view s, std::string_view from, std::string_view to) {
  out.clear();
  std::size_t start = 0;
  for (std::size_t at = s.find(from); at != std::string_view::npos; at = s.find(from, start)) {
    out.append(s, start, at - start).append(to);
    start = at + from.size();
  }
  out.append(s, start, std::string_view::npos);
}

// The bytes that interrupt a run of plain text while a line is built.
constexpr auto kLineBreakers = [] {
  std::array<bool, 256> table{};
  table['\x1b'] = table['\r'] = table['\n'] = true;
  table[static_cast<unsigned char>(kGa[0])] = true;
  return table;
}();

// Whether variable substitution could change the pattern: only a "%"
// followed by the start of a name can (a capture such as "%1" cannot).  The
// test takes in more than the interpreter's name rules, never less.
// The first ESC, CR or LF from p on, or end.  Eight bytes at a time skip
// text without control bytes, which is nearly all of it.
const char* FindLineBreaker(const char* p, const char* end) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
  for (;;) {
    bool control = false;
    while (end - p >= 8) {
      std::uint64_t x;
      std::memcpy(&x, p, 8);
      // The high bit of each byte below 0x20.  No borrow crosses a byte
      // before the first such byte, so the lowest bit set is exact (those
      // above it may not be).
      const std::uint64_t low = (x - kOnes * 0x20) & ~x & kHighs;
      if (low != 0) {
        p += __builtin_ctzll(low) / 8;
        control = true;
        break;
      }
      p += 8;
    }
    if (!control) {
      while (p < end && static_cast<unsigned char>(*p) >= 0x20) ++p;
      if (p == end) return p;
    }
    if (kLineBreakers[static_cast<unsigned char>(*p)]) return p;
    ++p;  // a control byte that breaks nothing
  }
}

bool MayReferenceVariable(std::string_view pattern) {
  for (std::size_t i = pattern.find('%'); i != std::string_view::npos;
       i = pattern.find('%', i + 1)) {
    if (i + 1 >= pattern.size()) break;
    const auto c = static_cast<unsigned char>(pattern[i + 1]);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80) return true;
  }
  return false;
}

std::string WithEscapes(std::string pattern) {
  if (pattern.find("/esc") == std::string::npos) return pattern;
  return ReplaceAll(pattern, "/esc", "\x1b");
}

// The bytes a pattern can only match when the subject holds each of them:
// all but the capture markers.
ByteSet Literals(std::string_view pattern) {
  ByteSet set;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '0' &&
        pattern[i + 1] <= '9') {
      ++i;
      continue;
    }
    set.Add(static_cast<unsigned char>(pattern[i]));
  }
  return set;
}

}  // namespace

std::string_view Incoming::Unframed(const std::string& framed) {
  if (framed.size() < 2) return {};
  return std::string_view(framed).substr(1, framed.size() - 2);
}

std::string_view Incoming::Queued(const std::string& entry) {
  return std::string_view(entry).substr(entry.empty() ? 0 : 1);
}

// The line as a pattern sees it (LF and CR stand where "^" and "$" match).
struct Incoming::Subject {
  const std::string& text;  // framed
  ByteSet bytes;
  bool counted = false;

  const std::string& Text() const { return text; }

  // The bytes of the framed text, worked out when a trigger first asks.
  const ByteSet& Bytes() {
    if (!counted) {
      counted = true;
      // Two sets filled in turn, so that a byte seldom waits for the store
      // of the byte before it.
      std::uint64_t b[2][4] = {};
      const std::size_t n = text.size();
      std::size_t i = 0;
      for (; i + 1 < n; i += 2) {
        const auto c0 = static_cast<unsigned char>(text[i]);
        const auto c1 = static_cast<unsigned char>(text[i + 1]);
        b[0][c0 >> 6] |= std::uint64_t{1} << (c0 & 63);
        b[1][c1 >> 6] |= std::uint64_t{1} << (c1 & 63);
      }
      if (i < n) {
        const auto c = static_cast<unsigned char>(text[i]);
        b[0][c >> 6] |= std::uint64_t{1} << (c & 63);
      }
      for (int k = 0; k < 4; ++k) bytes.bits[k] = b[0][k] | b[1][k];
    }
    return bytes;
  }
};

// Line texts are used again rather than freed: the queue takes thousands
// of lines a second.  Each begins with the LF of its frame.
void Incoming::NewEntry() {
  for (std::deque<std::string>* queue : {&clean_, &raw_}) {
    std::string s = TakeSpare();
    s.push_back('\n');
    queue->push_back(std::move(s));
  }
}

std::vector<std::string_view> Incoming::CleanLines() const {
  std::vector<std::string_view> lines;
  for (const std::string& entry : clean_) lines.push_back(Queued(entry));
  return lines;
}

std::vector<std::string_view> Incoming::RawLines() const {
  std::vector<std::string_view> lines;
  for (const std::string& entry : raw_) lines.push_back(Queued(entry));
  return lines;
}

std::string Incoming::TakeSpare() {
  if (spare_.empty()) return {};
  std::string s = std::move(spare_.back());
  spare_.pop_back();
  return s;
}

void Incoming::Recycle(std::string&& s) {
  if (spare_.size() >= 4096 || s.capacity() > 4096) return;
  s.clear();
  spare_.push_back(std::move(s));
}

void Incoming::EndLine(bool previews) {
  NewEntry();
  if (previews) {
    // Copies: a trigger may inject text that runs the trigger loop and
    // takes this entry off the queue.
    PreviewTriggers(Queued(clean_[clean_.size() - 2]), Queued(raw_[raw_.size() - 2]));
  }
}

void Incoming::StartOver() {
  line_stripper_.Reset();
  // Entries before the last are complete lines whose triggers may still be
  // running; only the last one is unfinished.
  if (!clean_.empty()) {
    clean_.back().resize(1);
    raw_.back().resize(1);
  }
}

void Incoming::StartStats(std::string marker, std::string text) {
  if (StatsRunning()) return;
  stats_marker_ = std::move(marker);
  stats_text_ = std::move(text);
}

void Incoming::ProcessIncoming(std::string_view chunk) {
  const std::string prompt = client_.store.Var("global._prompt");
  const bool ends_with_prompt = !prompt.empty() && chunk.ends_with(prompt);

  // Buffers of this call's own (a trigger's command may bring the next
  // read through here before this one is done), kept from chunk to chunk.
  const std::size_t depth = chunk_calls_;
  while (chunk_buffers_.size() < 2 * depth + 2) chunk_buffers_.emplace_back();
  std::string& display_copy = chunk_buffers_[2 * depth];
  std::string& shown = chunk_buffers_[2 * depth + 1];
  struct Nesting {
    std::size_t& calls;
    explicit Nesting(std::size_t& c) : calls(c) { ++calls; }
    ~Nesting() { --calls; }
  } nesting(chunk_calls_);

  // The display copy loses the GA markers; for the lines a GA is a line
  // end (CR LF), which the loop below sees for itself.
  std::string_view display = chunk;
  const std::string_view lines = chunk;
  if (chunk.find(kGa) != std::string_view::npos) {
    ReplaceInto(display_copy, chunk, kGa, "");
    display = display_copy;
  }

  if (clean_.empty()) NewEntry();
  const bool previews = !client_.store.Preview().Empty();
  // Bytes are appended to the last entries as they come.  A preview trigger
  // may inject text, which lands there too, before the rest of this chunk,
  // just as if the rest had waited in an accumulator.
  bool unfinished = false;
  // The entries being filled.  A line end makes new ones (and a preview
  // trigger may bring more text through here), so they are looked up again
  // after every line end; nothing else moves them.
  std::string* raw_line = &raw_.back();
  std::string* clean_line = &clean_.back();
  auto end_line = [&] {
    EndLine(previews);
    unfinished = false;
    raw_line = &raw_.back();
    clean_line = &clean_.back();
  };
  const char* p = lines.data();
  const char* const end = p + lines.size();
  while (p < end) {
    if (!line_stripper_.Inside()) {
      // Plain text up to the next escape or line end goes in one piece.
      const char* q = FindLineBreaker(p, end);
      if (q != p) {
        const std::size_t room = kLongestEntry - std::min(kLongestEntry, raw_line->size());
        if (static_cast<std::size_t>(q - p) > room) q = p + room;
        raw_line->append(p, static_cast<std::size_t>(q - p));
        clean_line->append(p, static_cast<std::size_t>(q - p));
        unfinished = true;
        p = q;
        if (raw_line->size() >= kLongestEntry) end_line();
        continue;
      }
    }
    if (raw_line->size() >= kLongestEntry) end_line();
    // A whole colour code goes to the raw line in one piece and nothing of it
    // to the clean line, as the stripper would have it byte by byte.
    if (*p == '\x1b' && !line_stripper_.Inside() && end - p > 2 && p[1] == '[') {
      const char* q = p + 2;
      auto collected = [](char c) { return c == ' ' || c == ';' || c == '?' || (c >= '0' && c <= '9'); };
      while (q < end && q - p < 200 && collected(*q)) ++q;
      // A line end is no final byte: CR, LF and a GA marker end the line
      // with the sequence still open, as the byte-by-byte path has it.
      const bool ga = q + 1 < end && q[0] == kGa[0] && q[1] == kGa[1];
      if (q < end && q - p < 200 && *q != '\r' && *q != '\n' && !ga) {
        raw_line->append(p, static_cast<std::size_t>(q + 1 - p));
        unfinished = true;
        p = q + 1;
        continue;
      }
    }
    const char ch = *p++;
    if (ch == kGa[0] && p < end && *p == kGa[1]) {
      // A GA marker: what CR and LF would do, the length limit included.
      ++p;
      *raw_line += '\r';
      if (raw_line->size() >= kLongestEntry) end_line();
      *raw_line += '\n';
      end_line();
    } else if (ch == '\n') {
      *raw_line += '\n';
      end_line();
    } else if (ch == '\r') {
      *raw_line += ch;
      unfinished = true;
    } else {
      *raw_line += ch;
      unfinished = true;
      bool overflow = false;
      if (line_stripper_.Feed(static_cast<unsigned char>(ch), overflow)) *clean_line += ch;
    }
  }
  if (unfinished && previews) PreviewTriggers(Queued(clean_.back()), Queued(raw_.back()));
  if (ends_with_prompt) NewEntry();

  client_.PrintText(DisplayFilter(client_, display, shown));
  // A flood's chunk does not keep its size of storage for ever.
  for (std::string* b : {&display_copy, &shown})
    if (b->capacity() > kKeptChunkStorage) std::string().swap(*b);

  if (in_trigger_loop_) {
    backlog_bytes_ += chunk.size();
    return;
  }
  in_trigger_loop_ = true;
  while (clean_.size() > 1) {
    // Nothing but this loop touches the first entry while its triggers run
    // (injected text goes to the last one), so it can be moved out.
    std::string clean = std::move(clean_.front());
    std::string raw = std::move(raw_.front());
    if (clean.size() > 1) {
      // The frame is finished in place: the patterns see LF, line, CR.
      clean.push_back('\r');
      raw.push_back('\r');
      // Each line sets "_currow_clean", "_currow_esc" and, after its
      // triggers, "_lastrow".  Most lines fire nothing that reads them, and
      // the next line sets all three again: such a line only waits, and
      // only the last of them is stored.
      walk_clean_ = &clean;
      walk_raw_ = &raw;
      walk_stored_ = false;
      RunTriggers(clean, raw, false);
      if (!stats_marker_.empty()) StoreLineVariables();
      AccumulateStats(Unframed(clean));
      walk_clean_ = walk_raw_ = nullptr;
      if (walk_stored_) {
        SetLineVariable(lastrow_, Unframed(clean));
      } else {
        waiting_clean_.swap(clean);
        waiting_raw_.swap(raw);
        waiting_ = true;
      }
    }
    clean_.pop_front();
    raw_.pop_front();
    Recycle(std::move(clean));
    Recycle(std::move(raw));
  }
  StoreWaitingLine();
  in_trigger_loop_ = false;
  backlog_bytes_ = 0;
}

// What SetValue does, without looking the name up while the list keeps its
// layout (the values change with every line, the layout seldom).
void Incoming::SetLineVariable(VariableSlot& slot, std::string_view value) {
  TStringList& vars = client_.store.Variables();
  if (slot.index < 0 || slot.layout != vars.LayoutChanges()) {
    slot.index = vars.IndexOfName(slot.name);
    slot.layout = vars.LayoutChanges();
  }
  if (slot.index < 0 || value.empty()) {
    vars.SetValue(slot.name, value);
    slot.index = -1;
    return;
  }
  vars.SetValueAt(slot.index, value, slot.name.size());
}

void Incoming::StoreWaitingLine() {
  if (!waiting_) return;
  waiting_ = false;
  SetLineVariable(currow_clean_, Unframed(waiting_clean_));
  SetLineVariable(currow_esc_, Unframed(waiting_raw_));
  SetLineVariable(lastrow_, Unframed(waiting_clean_));
}

void Incoming::StoreLineVariables() {
  if (walk_clean_ == nullptr || walk_stored_) return;
  walk_stored_ = true;
  StoreWaitingLine();
  SetLineVariable(currow_clean_, Unframed(*walk_clean_));
  SetLineVariable(currow_esc_, Unframed(*walk_raw_));
}

void Incoming::AccumulateStats(std::string_view clean) {
  if (stats_marker_.empty()) return;
  if (clean.find(stats_marker_) == std::string::npos && stats_text_.size() < kLongestStatsText) {
    stats_text_ += ',';
    stats_text_ += clean;
    return;
  }
  stats_marker_.clear();
  std::string text = std::move(stats_text_);
  stats_text_.clear();
  client_.ParseStats(text);
}

void Incoming::PreviewTriggers(std::string_view clean, std::string_view raw) {
  if (clean.empty() || !client_.store.GroupOn("preview")) return;
  // Copies: a trigger may inject text, which lands in the entries these
  // views look at.
  auto framed = [](std::string_view line) {
    std::string f;
    f.reserve(line.size() + 2);
    f.append(1, '\n').append(line).append(1, '\r');
    return f;
  };
  RunTriggers(framed(clean), framed(raw), true);
}

namespace {

void SetPattern(std::string& pattern, bool& raw_subject, ByteSet& literals, std::string_view made) {
  pattern = WithEscapes(std::string(made));
  raw_subject = pattern.find('\x1b') != std::string::npos;
  literals = Literals(pattern);
}

}  // namespace

// Reads the variable again; whether it changed since the last look.
bool Incoming::WatchChanged(Watch& w, const TStringList& vars) {
  if (!w.resolved || w.layout != vars.LayoutChanges()) {
    w.index = vars.IndexOfName(w.full);
    w.layout = vars.LayoutChanges();
    w.resolved = true;
  }
  if (w.index < 0) {
    const bool was = w.found;
    w.found = false;
    w.line.clear();
    return was;
  }
  const std::string& line = vars[w.index];
  if (w.found && line == w.line) return false;
  w.found = true;
  w.line = line;
  return true;
}

void Incoming::AddKey(TriggerCache& cache, std::uint32_t k) {
  ParsedTrigger& t = cache.items[k];
  TriggerCache::Quick& q = cache.quick[k];
  q.bytes = t.literals;
  q.raw = t.raw_subject;
  q.variables = t.variables.has_value();
  t.key = cache.chooser.Choose(t.pattern);
  t.key_raw = t.raw_subject;
  if (t.key.empty()) {
    cache.always.insert(std::upper_bound(cache.always.begin(), cache.always.end(), k), k);
  } else {
    (t.key_raw ? cache.raw_index : cache.clean_index).Add(k, t.key);
  }
}

void Incoming::RemoveKey(TriggerCache& cache, std::uint32_t k) {
  ParsedTrigger& t = cache.items[k];
  if (t.key.empty()) {
    const auto it = std::lower_bound(cache.always.begin(), cache.always.end(), k);
    if (it != cache.always.end() && *it == k) cache.always.erase(it);
  } else {
    (t.key_raw ? cache.raw_index : cache.clean_index).Remove(k, t.key);
  }
  t.key.clear();
}

void Incoming::Refresh(TriggerCache& cache, const TStringList& list, bool preview) {
  if (cache.valid && cache.stamp == list.Changes()) return;
  TStringList& vars = client_.store.Variables();
  cache.items.clear();
  cache.items.resize(static_cast<std::size_t>(list.Count()));
  for (int k = 0; k < list.Count(); ++k) {
    const std::string_view entry = list[k];
    ParsedTrigger& t = cache.items[static_cast<std::size_t>(k)];
    const auto dot = entry.find('.');
    t.group.assign(dot == std::string_view::npos ? entry : entry.substr(0, dot));
    t.preview_group = t.group == "preview";
    const auto eq = entry.find('=');
    if (eq == std::string_view::npos) continue;
    t.usable = true;
    const std::size_t name_start = dot != std::string_view::npos && dot < eq ? dot + 1 : 0;
    t.pattern.assign(entry.substr(name_start, eq - name_start));
    t.command.assign(entry.substr(eq + 1));
    // "^" and "$" become the LF and CR that frame every subject.
    if (!t.pattern.empty() && t.pattern.front() == '^') t.pattern.front() = '\n';
    if (!t.pattern.empty() && (t.pattern.back() == '$' || t.pattern.back() == '^'))
      t.pattern.back() = '\r';
    if (MayReferenceVariable(t.pattern)) {
      t.variables.emplace(t.pattern);
      // Made from the variables as they are now; watched from here on.
      bool changed = false;
      const std::string made = t.variables->Substitute(vars, changed);
      SetPattern(t.pattern, t.raw_subject, t.literals, made);
    } else {
      SetPattern(t.pattern, t.raw_subject, t.literals, t.pattern);
    }
    // The main walk passes over the preview group's triggers.
    t.indexed = preview || !t.preview_group;
  }

  cache.quick.assign(cache.items.size(), TriggerCache::Quick());
  cache.clean_index.Clear();
  cache.raw_index.Clear();
  cache.always.clear();
  cache.watches.clear();
  cache.dirty.clear();
  cache.chooser = KeyChooser();
  for (const ParsedTrigger& t : cache.items)
    if (t.indexed) cache.chooser.Count(t.pattern);
  std::unordered_map<std::string_view, std::uint32_t> watch_of;
  for (std::uint32_t k = 0; k < cache.items.size(); ++k) {
    ParsedTrigger& t = cache.items[k];
    if (!t.indexed) continue;
    AddKey(cache, k);
    if (!t.variables) continue;
    for (std::string_view name : t.variables->Names()) {
      const auto [it, added] = watch_of.emplace(name, static_cast<std::uint32_t>(cache.watches.size()));
      if (added) {
        cache.watches.emplace_back();
        cache.watches.back().full.assign(name);
      }
      std::vector<std::uint32_t>& users = cache.watches[it->second].triggers;
      if (users.empty() || users.back() != k) users.push_back(k);
    }
  }
  cache.watches_line = false;
  for (Watch& w : cache.watches) {
    WatchChanged(w, vars);
    for (const VariableSlot* slot : {&currow_clean_, &currow_esc_, &lastrow_})
      cache.watches_line = cache.watches_line || text::SameText(w.full, slot->name);
  }
  cache.stamp = list.Changes();
  cache.valid = true;
  ++cache.generation;
}

// Patterns made from variables that changed are made again, and their
// keys follow.
void Incoming::UpdateWatches(TriggerCache& cache) {
  TStringList& vars = client_.store.Variables();
  for (Watch& w : cache.watches)
    if (WatchChanged(w, vars)) cache.dirty.insert(cache.dirty.end(), w.triggers.begin(), w.triggers.end());
  if (cache.dirty.empty()) return;
  for (std::uint32_t k : cache.dirty) {
    ParsedTrigger& t = cache.items[k];
    bool changed = false;
    const std::string& made = t.variables->Substitute(vars, changed);
    if (!changed) continue;
    RemoveKey(cache, k);
    SetPattern(t.pattern, t.raw_subject, t.literals, made);
    AddKey(cache, k);
    ++cache.generation;
  }
  cache.dirty.clear();
}

void Incoming::Gather(TriggerCache& cache, Subject& clean, Subject& raw, std::vector<std::uint32_t>& out) {
  out.clear();
  if (!index_triggers_) {
    for (std::uint32_t k = 0; k < cache.items.size(); ++k)
      if (cache.items[k].indexed) out.push_back(k);
    return;
  }
  cache.clean_index.Find(clean.Text(), out);
  // The raw index holds the patterns with an ESC in them, which a line
  // without one cannot match.
  if (!cache.raw_index.Empty() && raw.text.find('\x1b') != std::string::npos)
    cache.raw_index.Find(raw.Text(), out);
  if (out.empty()) {
    out = cache.always;
    return;
  }
  out.insert(out.end(), cache.always.begin(), cache.always.end());
  std::sort(out.begin(), out.end());
}

void Incoming::RunTriggers(const std::string& clean, const std::string& raw, bool preview) {
  ScriptStore& store = client_.store;
  TStringList& list = preview ? store.Preview() : store.Triggers();
  TriggerCache& cache = preview ? preview_cache_ : triggers_cache_;
  // The list is walked by position, as it stands at each step: a trigger's
  // command may change it, and then the entries are taken apart anew and
  // the walk goes on after the position it had reached.
  // Patterns made from variables may be made from the line's own (the
  // plain walk makes them as it goes): those are stored first.
  if (!preview && (!index_triggers_ || !cache.valid || cache.stamp != list.Changes() || cache.watches_line))
    StoreLineVariables();
  Refresh(cache, list, preview);
  if (cache.items.empty()) return;
  // A command buffer for every walk in progress (they nest: see the
  // candidates).
  const std::size_t depth = subject_walks_;
  while (command_texts_.size() < depth + 1) command_texts_.emplace_back();
  Subject clean_subject{clean, {}}, raw_subject{raw, {}};
  struct Nesting {
    std::size_t& walks;
    explicit Nesting(std::size_t& w) : walks(w) { ++walks; }
    ~Nesting() { --walks; }
  } nesting(subject_walks_);
  if (!preview && cache.watches_line) StoreLineVariables();
  if (index_triggers_) UpdateWatches(cache);
  if (cache.walks == cache.candidates.size()) cache.candidates.emplace_back();
  std::vector<std::uint32_t>& candidates = cache.candidates[cache.walks];
  Nesting walk(cache.walks);

  std::uint64_t groups_stamp = store.Groups().Changes();
  std::uint64_t generation = cache.generation;
  Gather(cache, clean_subject, raw_subject, candidates);
  std::size_t next = 0;
  std::uint32_t last = 0;
  bool started = false;
  for (;;) {
    if (cache.generation != generation) {
      generation = cache.generation;
      Gather(cache, clean_subject, raw_subject, candidates);
      next = started ? static_cast<std::size_t>(
                           std::upper_bound(candidates.begin(), candidates.end(), last) - candidates.begin())
                     : 0;
    }
    if (next >= candidates.size()) break;
    const std::uint32_t k = candidates[next++];
    if (k >= cache.items.size()) break;
    last = k;
    started = true;
    // A byte of the pattern that the line lacks can never be matched.  The
    // index has found a key of the pattern in the line already, and the
    // matcher soon gives up on the rest; without it this saves most of
    // the matching.
    if (!index_triggers_) {
      const TriggerCache::Quick& q = cache.quick[k];
      if (!q.variables && !q.bytes.Within((q.raw ? raw_subject : clean_subject).Bytes())) continue;
    }
    ParsedTrigger& t = cache.items[k];
    if (!preview) {
      const std::uint64_t stamp = groups_stamp;
      if (!t.groups_known || t.groups_stamp != stamp) {
        t.group_on = store.GroupOn(t.group);
        t.groups_stamp = stamp;
        t.groups_known = true;
      }
      if (!t.group_on) continue;
    }
    if (t.variables) {
      bool changed = false;
      const std::string& made = t.variables->Substitute(store.Variables(), changed);
      if (changed) {
        RemoveKey(cache, k);
        SetPattern(t.pattern, t.raw_subject, t.literals, made);
        AddKey(cache, k);
        ++cache.generation;
      }
    }
    Subject& subject = t.raw_subject ? raw_subject : clean_subject;
    const std::string& subject_text = subject.Text();
    if (t.variables && !t.literals.Within(subject.Bytes())) continue;

    captures_.Reset();
    if (!MatchPattern(t.pattern, subject_text, captures_)) continue;
    // One buffer per walk in progress, like the subjects' (a command may
    // start another walk).
    std::string& command = command_texts_[depth];
    SubstituteCaptures(t.command, captures_, command);
    if (command.empty()) continue;
    const bool stats_item = t.command == ItemTriggerCommand();
    if (!preview) StoreLineVariables();
    client_.interp.RaiseDepth();
    if (stats_item)
      StartStatsParse(client_, std::string_view(command).substr(command.find(' ') + 1), "/parsestats");
    else
      client_.ExecuteCommand(command, true);
    client_.interp.LowerDepth(!preview);
    // Only a command can change the lists and the variables.
    Refresh(cache, list, preview);
    if (index_triggers_) UpdateWatches(cache);
    groups_stamp = store.Groups().Changes();
  }
}

}  // namespace tarnel
