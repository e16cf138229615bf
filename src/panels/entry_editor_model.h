// The entry editor: one list of the script store as rows of group, name and
// value, filtered by the start of the line, with fields that build the
// "/set" command "Принять" runs.  The window shows this model and passes
// the player's edits in as calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/script_store.h"

namespace tarnel {

class Client;

class EntryEditorModel {
 public:
  struct Row {
    std::string group, name, value;
  };

  // The list shown; none until an editor command opens the editor.
  std::optional<EntryKind> Kind;
  bool Visible = false;
  std::string Filter;
  // The fields: group, name, value, and the command "Принять" runs.
  std::string Group, Name, Value;
  std::string Preview;
  // The rows of the list that pass the filter (one empty row when none
  // does); refreshed with the panels.
  std::vector<Row> Rows;
  bool HasRows = false;
  int SelectedRow = -1;
  // Changes whenever the rows are built anew.
  std::uint64_t Generation = 0;

  // An editor command: the list of this kind, the first row chosen.
  void Open(EntryKind kind, ScriptStore& store);
  void Close() { Visible = false; }
  // The caption of Label11 and the kind word of "/set".
  std::string_view Caption() const;
  std::string_view KindWord() const;
  bool ShowsGroups() const { return Kind == EntryKind::Groups; }
  bool ShowsHotkeys() const { return Kind == EntryKind::Hotkeys; }

  void Refresh(ScriptStore& store);
  // A row chosen in the grid: its cells go into the fields.
  void SelectRow(int row);
  // The player changed the group or the name: the value of that entry
  // comes into the value field, the preview follows and the row of the
  // entry is selected; returns that row, or -1.
  int NameChanged(ScriptStore& store, std::string_view group, std::string_view name);
  void ValueChanged(std::string_view value);
  // "Принять", "Добавить", "Удалить".
  void Accept(Client& c);
  bool Add();
  bool Delete(Client& c);

 private:
  void BuildPreview();
  TStringList* Shown(ScriptStore& store) const;

  // What the rows were built from, so refreshes after every command cost
  // nothing while the list stays as it was.
  std::uint64_t built_stamp_ = 0;
  std::string built_filter_;
  std::optional<EntryKind> built_kind_;
  bool built_ = false;
};

// A grid line split as the editor shows it: the group before the first
// ".", the name up to the first "=", the value after it.
EntryEditorModel::Row SplitEntryLine(std::string_view line);

}  // namespace tarnel
