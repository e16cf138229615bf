#include "script/script_store.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>
#include <vector>

#include "text/case_fold.h"
#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

bool ScriptStore::VarOn(SettingSlot& slot) {
  const TStringList& vars = Variables();
  // While the layout stamp stays, every line keeps its name at its place.
  const bool placed = slot.resolved && slot.layout == vars.LayoutChanges();
  if (!placed) {
    slot.index = vars.IndexOfName(slot.name);
    slot.layout = vars.LayoutChanges();
    slot.resolved = true;
  }
  if (slot.index < 0) return false;
  // The line is the name (as long as the one looked up: letter case folds
  // byte for byte), "=" and the value.
  const std::string& line = vars[slot.index];
  const std::size_t n = slot.name.size();
  return line.size() == n + 3 && line[n] == '=' && line[n + 1] == 'o' && line[n + 2] == 'n';
}

bool ScriptStore::GroupOn(std::string_view group) {
  std::string key = "group.";
  key.append(group);
  return Groups().GetValue(key) == "on";
}

std::string ScriptStore::FindEnabled(EntryKind kind, std::string_view short_name) {
  TStringList& list = List(kind);
  const int i = list.IndexOfShortName(short_name);
  if (i < 0) return {};
  const std::string_view name = list.NameAt(i);
  if (!GroupOn(TStringList::GroupOf(name))) return {};
  return std::string(list.ValueAt(i));
}

namespace {

// The text a group's entries begin with: its name and ".".
std::string GroupPrefix(std::string_view group_line) {
  const std::string_view name = TStringList::NameOf(group_line);
  const auto dot = name.find('.');
  std::string prefix(dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1));
  prefix += '.';
  return prefix;
}

}  // namespace

void ScriptStore::PruneGroups() {
  static constexpr EntryKind kinds[] = {EntryKind::Macros,    EntryKind::Hotkeys,
                                        EntryKind::Functions, EntryKind::Triggers,
                                        EntryKind::Variables, EntryKind::Arguments};
  TStringList& groups = Groups();
  // Which groups have entries depends on the names alone: while no list has
  // changed its layout since the last time, every group left then still
  // has its entries.  This runs at the end of every batch.
  std::array<std::uint64_t, std::size(kinds) + 1> layouts{};
  for (std::size_t k = 0; k < std::size(kinds); ++k) layouts[k] = List(kinds[k]).LayoutChanges();
  layouts.back() = groups.LayoutChanges();
  if (pruned_ && layouts == pruned_layouts_) return;

  // Each entry is looked at once, at the lengths of the groups' prefixes.
  std::vector<std::string> prefixes;
  prefixes.reserve(static_cast<std::size_t>(groups.Count()));
  std::unordered_map<std::string_view, bool> used;
  std::vector<std::size_t> lengths;
  for (const std::string& line : groups.Lines()) prefixes.push_back(GroupPrefix(line));
  for (const std::string& p : prefixes) {
    if (!used.emplace(p, false).second) continue;
    if (std::find(lengths.begin(), lengths.end(), p.size()) == lengths.end())
      lengths.push_back(p.size());
  }
  std::size_t unknown = used.size();
  for (EntryKind k : kinds) {
    for (const std::string& line : List(k).Lines()) {
      for (std::size_t n : lengths) {
        if (line.size() < n || line[n - 1] != '.') continue;
        const auto it = used.find(std::string_view(line).substr(0, n));
        if (it == used.end() || it->second) continue;
        it->second = true;
        if (--unknown == 0) break;
      }
      if (unknown == 0) break;
    }
    if (unknown == 0) break;
  }
  if (unknown != 0)
    groups.RemoveIf([&](const std::string& line) { return !used.at(GroupPrefix(line)); });
  layouts.back() = groups.LayoutChanges();
  pruned_layouts_ = layouts;
  pruned_ = true;
}

void ScriptStore::ClearAll() {
  for (auto& list : lists_) list.Clear();
  preview_.Clear();
}

std::string_view EditorCaption(EntryKind kind) {
  switch (kind) {
    case EntryKind::Variables: return "Переменные:"_cp;
    case EntryKind::Macros: return "Макросы:"_cp;
    case EntryKind::Triggers: return "Триггеры:"_cp;
    case EntryKind::Functions: return "Функции:"_cp;
    case EntryKind::Arguments: return "Аргументы:"_cp;
    case EntryKind::Hotkeys: return "Горячие клавиши:"_cp;
    case EntryKind::Groups: return "Группы:"_cp;
  }
  return {};
}

}  // namespace tarnel
