// Server text rewritten for display: replaces, gags, highlights and item
// annotations.  Triggers still see the original text.
//
// The entries are the variables of the groups "replaces" and "highlights",
// applied in the order of the variables list, each to the result of the
// ones before.  A key matches visible text even when colour codes stand
// between its letters; "^" anchors it at a line start and a final "$" (or
// "^") at a line end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/literal_index.h"
#include "script/string_list.h"

namespace tarnel {

class Client;

// What the filter keeps between chunks: the entries prepared from their
// variables (reused while a variable's line is unchanged) and work buffers,
// so that a chunk costs no allocation per entry.
struct DisplayFilterState {
  enum class Kind : std::uint8_t { Replace, Gag, LineHighlight, WordHighlight };

  struct Entry {
    std::string line;  // the variables-list line this was prepared from
    Kind kind = Kind::Replace;
    std::string raw_key;      // as written in the variable's name
    bool key_has_vars = false;
    std::string key;          // anchors already turned into CR LF (when no vars)
    bool key_lead = false;    // the key began with "^"
    bool key_trail = false;   // the key ended with "$" or "^"
    bool value_has_vars = false;
    std::string value;        // replacement with "/esc", "/cr", "/lf" done
    std::string colours;      // foreground and background codes of a highlight
    std::string window;       // up to four bytes of the key, for the index
  };

  // A match of the entry being applied: where its marker stands in the
  // text, and whether it took a line break of the text itself (rather than
  // one of the two that frame the text while matching).
  struct Mark {
    std::size_t pos;
    bool took_leading_break;
    bool took_trailing_break;
  };

  std::vector<Entry> entries;
  // Where the entries stand in the variables list, valid while the list's
  // layout stamp stays; while its change stamp stays, nothing changed.
  std::vector<int> positions;
  std::uint64_t layout_stamp = 0;
  std::uint64_t changes_stamp = 0;
  std::string framed;  // CR LF + text + CR LF
  std::string marked;  // the text with the matches cut out
  std::string result;
  std::string span;
  std::vector<Mark> marks;
  TStringList no_locals;

  // Most entries find nothing in most chunks.  A match is a stretch of the
  // text as a stripper reads it, so an entry whose window is not in the
  // stripped text is passed over without a search of its own.  Off, every
  // entry searches (the reference the index is checked against).
  bool use_index = true;
  // A replace with a fixed value is made in one pass over the text.  Off,
  // it is marked and then applied as every other entry is (the reference
  // the one pass is checked against).
  bool one_pass_replaces = true;
  bool index_stale = true;
  LiteralIndex index;
  std::string stripped;
  std::vector<std::uint32_t> found;
  std::vector<std::uint32_t> found_in;  // per entry: the pass that found it
  std::uint32_t pass = 0;
};

// Applies the replaces, gags and highlights to one chunk of server text.
std::string DisplayFilter(Client& client, std::string_view text);
// The same into `out` (which keeps its storage from chunk to chunk); the
// result is `out`, or `text` itself when nothing is to be done to it.
std::string_view DisplayFilter(Client& client, std::string_view text, std::string& out);

// The filter's last step while the group "autostats" is on: names of known
// items get their statistics.  It belongs to the stats database and lives
// with it (stats/item_annotations.cpp).
void AnnotateItems(Client& client, std::string& text);

}  // namespace tarnel
