// How "/set" reads its parameters: the optional kind word, then the name
// and the value of the entry.  The profile writer asks the same of a line
// before it writes it, so the two cannot disagree.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "script/script_store.h"

namespace tarnel {

// The kind a word of "/set" and "/free" names (exact comparison), if any.
std::optional<EntryKind> KindWord(std::string_view word);

// The name an entry gets from the unquoted text before its "=": "default."
// in front when it has no ".", and a hotkey's key name in upper case.
std::string EntryName(EntryKind kind, std::string name);

struct SetEntry {
  std::string name;
  std::string value;
  bool formula = false;  // the value was written beginning with "("
};

// The entry of the text after the kind word; nothing without a "=".
std::optional<SetEntry> ParseSetEntry(EntryKind kind, std::string_view entry);

// The same read without copies: the name as written (unquoted, before
// EntryName) and the value, both within `entry`.
struct SetEntryText {
  std::string_view name;
  std::string_view value;
  bool formula = false;
};
std::optional<SetEntryText> ReadSetEntry(std::string_view entry);
// What EntryName makes of a name, into `out`.
void EntryNameInto(EntryKind kind, std::string_view name, std::string& out);

}  // namespace tarnel
