#include "script/script_store.h"

#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

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

void ScriptStore::PruneGroups() {
  static constexpr EntryKind kinds[] = {EntryKind::Macros,    EntryKind::Hotkeys,
                                        EntryKind::Functions, EntryKind::Triggers,
                                        EntryKind::Variables, EntryKind::Arguments};
  TStringList& groups = Groups();
  int i = 0;
  while (i < groups.Count()) {
    const std::string_view name = groups.NameAt(i);
    const auto dot = name.find('.');
    std::string prefix(dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1));
    prefix += '.';
    bool used = false;
    for (EntryKind k : kinds) {
      for (const std::string& line : List(k).Lines()) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
          used = true;
          break;
        }
      }
      if (used) break;
    }
    if (used)
      ++i;
    else
      groups.DeleteAt(i);
  }
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
