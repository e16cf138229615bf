// Server text on its way in: assembled into lines, previewed, shown, and run
// through the triggers.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/escape_stripper.h"
#include "pipeline/literal_index.h"
#include "pipeline/match_pattern.h"
#include "pipeline/pattern_variables.h"

namespace tarnel {

class Client;
class TStringList;

// A set of byte values.
struct ByteSet {
  std::uint64_t bits[4] = {};
  void Add(unsigned char c) { bits[c >> 6] |= std::uint64_t{1} << (c & 63); }
  bool Within(const ByteSet& other) const {
    return ((bits[0] & ~other.bits[0]) | (bits[1] & ~other.bits[1]) | (bits[2] & ~other.bits[2]) |
            (bits[3] & ~other.bits[3])) == 0;
  }
};

class Incoming {
 public:
  explicit Incoming(Client& client) : client_(client) {}

  // One chunk of decoded server text (or text injected as if the server had
  // sent it).
  void ProcessIncoming(std::string_view chunk);
  // Text keeps coming in while the triggers of earlier lines run (their
  // commands let the message loop turn): past a megabyte of it, reading
  // waits until the triggers have caught up, so a fast server cannot fill
  // memory with lines waiting for them.
  bool Backlogged() const { return backlog_bytes_ >= kMostBacklog; }
  static constexpr std::size_t kMostBacklog = 1 << 20;

  // Parallel queues: completed lines waiting for their triggers, then the
  // line still being received.  The views last until the next text.
  std::vector<std::string_view> CleanLines() const;
  std::vector<std::string_view> RawLines() const;
  std::size_t QueuedLines() const { return clean_.size(); }

  // Forgets the line being received and the escape sequence it may be in:
  // what one connection left unfinished must not become the start of the
  // next one's first line.
  void StartOver();

  // Off: every line meets every trigger in turn, the plain walk the index
  // must always agree with (kept for comparing the two).
  void IndexTriggers(bool on) { index_triggers_ = on; }

  // Stats accumulation, started by "/parsestats" with an end marker.
  bool StatsRunning() const { return !stats_marker_.empty(); }
  void StartStats(std::string marker, std::string text);

 private:
  // A trigger entry taken apart once and kept until its list changes.
  struct ParsedTrigger {
    bool usable = false;  // the entry has a "="
    bool preview_group = false;
    std::string group;
    // Anchors applied, variables substituted and "/esc" turned into ESC.
    std::string pattern;
    bool raw_subject = false;  // the pattern holds ESC: match the raw line
    ByteSet literals;          // of the pattern
    bool indexed = false;      // a candidate at all (usable, and not skipped by this walk)
    std::string key;           // what it waits for in the index, or empty
    bool key_raw = false;      // in the raw subject's index
    // A pattern that may reference variables is made anew from them for
    // every line (and only rebuilt when they changed).
    std::optional<PatternVariables> variables;
    std::string command;
    // The group's switch, as of the groups list with this stamp.
    std::uint64_t groups_stamp = 0;
    bool groups_known = false;
    bool group_on = false;
  };
  // Where a variable this loop writes for every line stands in the list.
  struct VariableSlot {
    std::string_view name;
    int index = -1;
    std::uint64_t layout = 0;
  };
  // A variable that patterns reference, as it stood when last looked at.
  struct Watch {
    std::string full;
    int index = -1;
    std::uint64_t layout = 0;
    bool resolved = false;
    bool found = false;
    std::string line;
    std::vector<std::uint32_t> triggers;  // whose patterns name it
  };
  // The triggers taken apart, and which of them a line can match: each
  // usable trigger either waits for its key in the index of the subject
  // it matches, or (no literal to wait for) is on the list of triggers
  // every line meets.
  struct TriggerCache {
    bool valid = false;
    std::uint64_t stamp = 0;
    // Moves whenever the items or their keys change: a walk then looks up
    // its candidates again.
    std::uint64_t generation = 0;
    std::vector<ParsedTrigger> items;
    // What a candidate is tested on first, kept small and together.
    struct Quick {
      ByteSet bytes;  // the pattern's literals
      bool raw = false;
      bool variables = false;
    };
    std::vector<Quick> quick;
    LiteralIndex clean_index;
    LiteralIndex raw_index;
    std::vector<std::uint32_t> always;  // ascending
    KeyChooser chooser;
    std::vector<Watch> watches;
    bool watches_line = false;  // a pattern names a variable of the line
    std::vector<std::uint32_t> dirty;
    // One list of candidates per walk in progress (a trigger's command may
    // start another walk of the same list); a deque keeps them in place.
    std::deque<std::vector<std::uint32_t>> candidates;
    std::size_t walks = 0;
  };
  struct Subject;

  // The line of a queued entry (which begins with the LF of its frame).
  static std::string_view Queued(const std::string& entry);
  // The line of a framed text: LF, the line, CR.
  static std::string_view Unframed(const std::string& framed);
  void PreviewTriggers(std::string_view clean, std::string_view raw);
  // The lines come framed.
  void RunTriggers(const std::string& clean, const std::string& raw, bool preview);
  void AccumulateStats(std::string_view clean);
  void SetLineVariable(VariableSlot& slot, std::string_view value);
  // The variables of the line whose triggers run, put in the store before
  // anything can read them (a command, a pattern made from variables, the
  // stats parse); until then the line may not need them at all.
  [[gnu::noinline]] void StoreLineVariables();
  // The variables of the last line that nobody read, put in the store.
  [[gnu::noinline]] void StoreWaitingLine();
  void NewEntry();
  // The line being received is complete: a new one starts.
  void EndLine(bool previews);
  std::string TakeSpare();
  void Recycle(std::string&& s);
  void Refresh(TriggerCache& cache, const TStringList& list, bool preview);
  void UpdateWatches(TriggerCache& cache);
  static bool WatchChanged(Watch& w, const TStringList& vars);
  // Takes the trigger's pattern as it now stands into the index.
  static void AddKey(TriggerCache& cache, std::uint32_t k);
  static void RemoveKey(TriggerCache& cache, std::uint32_t k);
  void Gather(TriggerCache& cache, Subject& clean, Subject& raw, std::vector<std::uint32_t>& out);

  Client& client_;
  std::deque<std::string> clean_;
  std::deque<std::string> raw_;
  std::vector<std::string> spare_;  // emptied line texts, kept for their storage
  // Line building keeps its own escape state from chunk to chunk, so a
  // colour code cut between two reads never leaks into a clean line.
  EscapeStripper line_stripper_;
  bool in_trigger_loop_ = false;
  std::size_t backlog_bytes_ = 0;  // taken in while the trigger loop ran
  bool index_triggers_ = true;
  std::deque<std::string> command_texts_;  // a trigger's command, per walk
  std::deque<std::string> chunk_buffers_;
  std::size_t chunk_calls_ = 0;
  std::size_t subject_walks_ = 0;
  CaptureList captures_;
  TriggerCache triggers_cache_;
  TriggerCache preview_cache_;
  VariableSlot currow_clean_{"global._currow_clean"};
  VariableSlot currow_esc_{"global._currow_esc"};
  VariableSlot lastrow_{"global._lastrow"};
  // The line of the trigger loop (framed) and whether its variables are
  // stored.
  const std::string* walk_clean_ = nullptr;
  const std::string* walk_raw_ = nullptr;
  bool walk_stored_ = false;
  // A line whose triggers read nothing: the next such line replaces it, and
  // what is left is stored when anything reads or the loop ends.  Framed.
  bool waiting_ = false;
  std::string waiting_clean_;
  std::string waiting_raw_;
  std::string stats_marker_;
  std::string stats_text_;
};

}  // namespace tarnel
