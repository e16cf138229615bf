#include "panels/workbench_model.h"

#include <algorithm>
#include <unordered_set>

#include "interp/client.h"
#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

namespace {

constexpr std::string_view kItemPrefix = "toolbox.item ";
constexpr std::string_view kButtonPrefix = "toolbox.button ";

std::string EntryText(std::string_view line, std::string_view prefix) {
  if (line.substr(0, prefix.size()) != prefix) return {};
  const std::string_view name = TStringList::NameOf(line);
  if (name.size() <= prefix.size()) return {};
  return std::string(name.substr(prefix.size()));
}

}  // namespace

std::string WorkbenchItemText(std::string_view line) { return EntryText(line, kItemPrefix); }
std::string WorkbenchButtonText(std::string_view line) { return EntryText(line, kButtonPrefix); }

WorkbenchModel::WorkbenchModel() : Caption("Верстак:"_cp) {}

void WorkbenchModel::Refresh(ScriptStore& store) {
  // Refreshes come after every command: the variables are read again only
  // when they or the group switch changed.
  const bool on = store.GroupOn("toolbox");
  const TStringList& list = store.Variables();
  const std::uint64_t changes = list.Changes();
  if (refreshed_ && on == refreshed_on_ && changes == refreshed_changes_) return;
  // Only values changed (most commands do that): the entries stay, only
  // the caption can read differently.  An emptied button goes with its
  // line, which changes the layout.
  if (refreshed_ && on && refreshed_on_ && list.LayoutChanges() == refreshed_layout_) {
    refreshed_changes_ = changes;
    const int caption = list.IndexOfName("toolbox.caption");
    Caption = caption < 0 ? std::string("Верстак:"_cp)
                          : std::string("Верстак: "_cp) + std::string(list.ValueAt(caption));
    return;
  }
  refreshed_ = true;
  refreshed_on_ = on;
  refreshed_changes_ = changes;
  refreshed_layout_ = list.LayoutChanges();
  if (!on) {
    Items.clear();
    Buttons.clear();
    Selected = -1;
    Highlighted = -1;
    Caption = std::string("Верстак:"_cp);
    return;
  }
  const TStringList& vars = list;
  Caption = std::string("Верстак:"_cp);
  // Sets of what is there already keep a workbench of thousands of
  // entries quick.
  std::unordered_set<std::string> items, buttons(Buttons.begin(), Buttons.end());
  for (const Item& i : Items) items.insert(i.text);
  for (const std::string& line : vars.Lines()) {
    if (std::string item = WorkbenchItemText(line); !item.empty()) {
      if (items.insert(item).second) Items.push_back({std::move(item), false});
    } else if (std::string button = WorkbenchButtonText(line); !button.empty()) {
      std::string shown = "> " + button;
      if (buttons.insert(shown).second) Buttons.push_back(std::move(shown));
    } else if (TStringList::NameOf(line) == "toolbox.caption" && line.find('=') != std::string::npos) {
      Caption = std::string("Верстак: "_cp) + std::string(TStringList::ValueOf(line));
    }
  }
  // What the variables no longer hold goes; the selection follows its item.
  const std::string selected = SelectedText();
  std::erase_if(Items, [&](const Item& i) { return vars.IndexOfName(std::string(kItemPrefix) + i.text) < 0; });
  std::erase_if(Buttons, [&](const std::string& b) {
    return vars.GetValue(std::string(kButtonPrefix) + b.substr(2)).empty();
  });
  Selected = -1;
  for (std::size_t i = 0; i < Items.size(); ++i)
    if (!selected.empty() && Items[i].text == selected) Selected = static_cast<int>(i);
  if (Highlighted >= static_cast<int>(Buttons.size())) Highlighted = -1;
}

std::string WorkbenchModel::SelectedText() const { return Valid(Selected) ? Items[Selected].text : std::string(); }

std::string WorkbenchModel::Choice(ScriptStore& store) const {
  if (Items.empty() || !Valid(Selected)) return "*";
  const std::string& text = Items[Selected].text;
  std::string value = store.Var(std::string(kItemPrefix) + text);
  return value.empty() ? text : value;
}

void WorkbenchModel::RunAction(Client& c, std::string_view action) {
  const std::string choice = Choice(c.store);
  if (action.empty()) {
    std::string line = c.host.CommandLine();
    if (!line.empty()) line += ' ';
    line += choice;
    c.host.SetCommandLine(line);
    return;
  }
  const std::string command(action);
  c.interp.RaiseDepth();
  c.ExecuteCommand("/set toolbox.selected={" + choice + "}", false);
  c.ExecuteCommand(command, false);
  c.interp.LowerDepth();
}

void WorkbenchModel::ClickItem(Client& c, int index, bool double_click) {
  if (!Valid(index)) return;
  Selected = index;
  c.RefreshPanels();
  RunAction(c, c.store.Var(double_click ? "toolbox.ondblclick" : "toolbox.onclick"));
}

void WorkbenchModel::ClickButton(Client& c, int index) {
  if (index < 0 || index >= static_cast<int>(Buttons.size())) return;
  const std::string name = std::string(kButtonPrefix) + Buttons[index].substr(2);
  const std::string command = c.store.Var(name);
  if (command.empty()) return;
  if (Items.empty()) {
    RunAction(c, command);
    return;
  }
  // The action may change the lists (a refresh adds or removes items):
  // every step looks at the list as it is now.
  for (std::size_t i = 0; i < Items.size(); ++i) {
    if (!Items[i].checked) continue;
    Selected = static_cast<int>(i);
    Items[i].checked = false;
    RunAction(c, command);
  }
}

void WorkbenchModel::HoverItem(int index, bool left_button, bool ctrl, bool alt, bool shift) {
  if (!Valid(index)) return;
  Selected = index;
  if (!left_button) return;
  if (ctrl || alt) Items[index].checked = false;
  if (shift) Items[index].checked = true;
}

void WorkbenchModel::SetChecked(int index, bool checked) {
  if (Valid(index)) Items[index].checked = checked;
}

void WorkbenchModel::ToggleGroup(Client& c, bool on) {
  c.ExecuteCommand(on ? "/set group toolbox=on" : "/set group toolbox=off", false);
  c.RefreshPanels();
  c.host.FocusCommandLine();
}

void WorkbenchModel::Clear(Client& c) {
  const std::string group = c.store.Groups().GetValue("group.toolbox");
  c.ExecuteCommand("/clear toolbox", false);
  c.ExecuteCommand("/set toolbox.caption=", false);
  c.ExecuteCommand("/set group toolbox=" + group, false);
}

}  // namespace tarnel
