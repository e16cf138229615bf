#include "panels/entry_editor_model.h"

#include <algorithm>

#include "interp/client.h"

namespace tarnel {

EntryEditorModel::Row SplitEntryLine(std::string_view line) {
  EntryEditorModel::Row row;
  const std::size_t eq = line.find('=');
  const std::string_view name = line.substr(0, eq);
  // The group comes from the name alone: a point in the value is the
  // value's own.
  const std::size_t dot = name.find('.');
  if (dot != std::string_view::npos) {
    row.group = std::string(name.substr(0, dot));
    row.name = std::string(name.substr(dot + 1));
  } else {
    row.name = std::string(name);
  }
  if (eq != std::string_view::npos) row.value = std::string(line.substr(eq + 1));
  return row;
}

void EntryEditorModel::Open(EntryKind kind, ScriptStore& store) {
  Kind = kind;
  Visible = true;
  SelectedRow = 0;
  Refresh(store);
  SelectRow(0);
}

std::string_view EntryEditorModel::Caption() const { return Kind ? EditorCaption(*Kind) : std::string_view(); }

std::string_view EntryEditorModel::KindWord() const {
  if (!Kind) return {};
  switch (*Kind) {
    case EntryKind::Variables: return "var";
    case EntryKind::Macros: return "macro";
    case EntryKind::Triggers: return "trig";
    case EntryKind::Functions: return "func";
    case EntryKind::Arguments: return "arg";
    case EntryKind::Hotkeys: return "hotkey";
    case EntryKind::Groups: return "group";
  }
  return {};
}

TStringList* EntryEditorModel::Shown(ScriptStore& store) const { return Kind ? &store.List(*Kind) : nullptr; }

void EntryEditorModel::Refresh(ScriptStore& store) {
  TStringList* shown = Shown(store);
  const std::uint64_t stamp = shown ? shown->Changes() : 0;
  if (built_ && stamp == built_stamp_ && Filter == built_filter_ && Kind == built_kind_) return;
  built_ = true;
  built_stamp_ = stamp;
  built_filter_ = Filter;
  built_kind_ = Kind;
  ++Generation;
  Rows.clear();
  if (TStringList* list = shown) {
    for (const std::string& line : list->Lines())
      if (line.compare(0, Filter.size(), Filter) == 0) Rows.push_back(SplitEntryLine(line));
  }
  HasRows = !Rows.empty();
  if (!HasRows) Rows.emplace_back();
  SelectedRow = std::clamp(SelectedRow, 0, static_cast<int>(Rows.size()) - 1);
}

void EntryEditorModel::SelectRow(int row) {
  if (row < 0 || row >= static_cast<int>(Rows.size())) return;
  SelectedRow = row;
  Group = Rows[row].group;
  Name = Rows[row].name;
  ValueChanged(Rows[row].value);
}

int EntryEditorModel::NameChanged(ScriptStore& store, std::string_view group, std::string_view name) {
  Group.clear();
  for (char ch : group)
    if (ch != '.') Group += ch;
  Name.clear();
  for (char ch : name)
    if (ch != '=') Name += ch;
  const TStringList* list = Shown(store);
  ValueChanged(list ? list->GetValue(Group + "." + Name) : std::string());
  for (std::size_t i = 0; i < Rows.size(); ++i) {
    if (Rows[i].group == Group && Rows[i].name == Name) {
      SelectedRow = static_cast<int>(i);
      return SelectedRow;
    }
  }
  return -1;
}

void EntryEditorModel::ValueChanged(std::string_view value) {
  Value = std::string(value);
  BuildPreview();
}

void EntryEditorModel::BuildPreview() {
  if (!Kind) {
    Preview.clear();
    return;
  }
  if (ShowsGroups())
    Preview = "/set group " + Name + "={" + Value + "}";
  else
    Preview = "/set " + std::string(KindWord()) + " {" + Group + "." + Name + "}={" + Value + "}";
}

void EntryEditorModel::Accept(Client& c) {
  const std::string command = Preview;
  c.ExecuteCommand(command, true);
  c.RefreshPanels();
}

bool EntryEditorModel::Add() {
  if (!Kind || ShowsGroups()) return false;
  Group = "default";
  Name.clear();
  ValueChanged("");
  return true;
}

bool EntryEditorModel::Delete(Client& c) {
  TStringList* list = Shown(c.store);
  if (list == nullptr || ShowsGroups() || list->Empty()) return false;
  if (SelectedRow < 0 || SelectedRow >= static_cast<int>(Rows.size()) || !HasRows) return false;
  const Row row = Rows[SelectedRow];
  // An entry without a group is written without the point.
  const std::string line = (row.group.empty() ? row.name : row.group + "." + row.name) + "=" + row.value;
  const auto& lines = list->Lines();
  const auto it = std::find(lines.begin(), lines.end(), line);
  if (it == lines.end()) return false;
  list->DeleteAt(static_cast<int>(it - lines.begin()));
  if (Kind == EntryKind::Triggers && row.group == "preview") {
    const int p = c.store.Preview().IndexOfName("preview." + row.name);
    if (p >= 0) c.store.Preview().DeleteAt(p);
  }
  c.RefreshPanels();
  return true;
}

}  // namespace tarnel
