// The workbench: a palette the player builds from variables of the group
// "toolbox" — a checkable list of items and a list of buttons.  Clicking an
// item or a button runs commands with the chosen item in
// "toolbox.selected".  The window shows this model and passes its mouse
// events in as calls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnel {

class Client;
class ScriptStore;

class WorkbenchModel {
 public:
  struct Item {
    std::string text;
    bool checked = false;
  };
  std::vector<Item> Items;
  // Button texts, as shown: "> " and the button text.
  std::vector<std::string> Buttons;
  int Selected = -1;
  // The button under the pointer, or -1.
  int Highlighted = -1;
  std::string Caption;  // Label1

  WorkbenchModel();

  // The lists follow the "toolbox." variables and the group switch.
  void Refresh(ScriptStore& store);
  // What Label2 shows: the selected item, or nothing.
  std::string SelectedText() const;
  // The text an action runs with: "*" without items, else the selected
  // item's value (its text when the value is empty).
  std::string Choice(ScriptStore& store) const;
  // Runs an action with the choice; an empty action puts the choice into
  // the command line instead.
  void RunAction(Client& c, std::string_view action);

  // Mouse events of the lists.
  void ClickItem(Client& c, int index, bool double_click);
  void ClickButton(Client& c, int index);
  // The pointer over the item list: the item under it (-1: none) is
  // selected; with the left button held, Ctrl or Alt unchecks it and Shift
  // checks it.
  void HoverItem(int index, bool left_button, bool ctrl, bool alt, bool shift);
  void SetChecked(int index, bool checked);
  // CheckBox2 and Button3 "C".
  void ToggleGroup(Client& c, bool on);
  void Clear(Client& c);

 private:
  bool Valid(int index) const { return index >= 0 && index < static_cast<int>(Items.size()); }

  bool refreshed_ = false;
  bool refreshed_on_ = false;
  std::uint64_t refreshed_changes_ = 0;
  std::uint64_t refreshed_layout_ = 0;
};

// "toolbox.item sword=long sword" → "sword"; empty when the line is not an
// item.  The same for buttons.
std::string WorkbenchItemText(std::string_view line);
std::string WorkbenchButtonText(std::string_view line);

}  // namespace tarnel
