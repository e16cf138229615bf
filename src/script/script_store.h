// All of the player's script state: seven lists of named entries, one per
// kind, and the preview list (a copy of every entry of the group "preview").
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "script/loading_files.h"
#include "script/string_list.h"

namespace tarnel {

enum class EntryKind { Variables, Macros, Triggers, Functions, Arguments, Hotkeys, Groups };

inline constexpr int kEntryKindCount = 7;

// A setting read on every statement ("global._debug", "global._echo"): where
// it stands in the variables list is remembered while the list keeps its
// layout, and checked against the name before use.
struct SettingSlot {
  std::string_view name;
  int index = -1;
  std::uint64_t layout = 0;
  bool resolved = false;
};

class ScriptStore {
 public:
  TStringList& List(EntryKind kind) { return lists_[static_cast<std::size_t>(kind)]; }
  TStringList& Variables() { return List(EntryKind::Variables); }
  TStringList& Macros() { return List(EntryKind::Macros); }
  TStringList& Triggers() { return List(EntryKind::Triggers); }
  TStringList& Functions() { return List(EntryKind::Functions); }
  TStringList& Arguments() { return List(EntryKind::Arguments); }
  TStringList& Hotkeys() { return List(EntryKind::Hotkeys); }
  TStringList& Groups() { return List(EntryKind::Groups); }
  TStringList& Preview() { return preview_; }

  // The value of a variable, or empty.
  std::string Var(std::string_view full_name) { return Variables().GetValue(full_name); }
  // A setting is on exactly when its value is "on".
  bool VarOn(SettingSlot& slot);
  bool VarOn(std::string_view full_name) {
    const int i = Variables().IndexOfName(full_name);
    return i >= 0 && Variables().ValueAt(i) == "on";
  }

  // The value of the entry with this short name (the first one added), but
  // only while its group is switched on; empty otherwise.
  std::string FindEnabled(EntryKind kind, std::string_view short_name);
  // Whether the groups list holds "group.<name>=on".
  bool GroupOn(std::string_view group);

  // Removes every group line whose group no longer has an entry in any list.
  void PruneGroups();

  // Empties every list.
  void ClearAll();

  // The script files being loaded now; a new profile leaves it alone.
  LoadingFiles& Loading() { return loading_; }

 private:
  std::array<TStringList, kEntryKindCount> lists_;
  TStringList preview_;
  LoadingFiles loading_;
  // The layouts of the lists when the groups were last pruned.
  bool pruned_ = false;
  std::array<std::uint64_t, kEntryKindCount> pruned_layouts_{};
};

// The caption the entry editor shows for a kind.
std::string_view EditorCaption(EntryKind kind);

}  // namespace tarnel
