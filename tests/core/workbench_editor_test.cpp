// The workbench and the entry editor on their models alone: what the lists
// show after a refresh, what a click or a button runs and with which item,
// the rows the editor's filter leaves, the command "Принять" runs and what
// "Удалить" deletes.

#include <gtest/gtest.h>

#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

using namespace literals;

class PanelHost : public TestHost {
 public:
  bool HasPanelWindows() const override { return true; }
  void FocusCommandLine() override { ++focus_line; }
  void SetCommandLine(std::string_view text) override { line = std::string(text); }
  std::string CommandLine() const override { return line; }
  void OpenEntryEditor(EntryKind kind) override { opened.push_back(kind); }
  int focus_line = 0;
  std::string line;
  std::vector<EntryKind> opened;
};

class Panels : public ::testing::Test {
 protected:
  void SetUp() override {
    c.DefaultProfile();
    c.store.Variables().SetValue("global._logfile", "");
    c.RefreshPanels();
  }
  void Run(std::string_view text) { c.ExecuteCommand(text, false); }
  // Stored as is: command texts keep their variable references.
  void Set(std::string_view name, std::string_view value) {
    c.store.Variables().SetValue(name, value);
    c.RefreshPanels();
  }
  // The lines printed since the terminal text was last cleared.
  std::vector<std::string> Echoes() {
    std::vector<std::string> lines;
    std::string_view all = host.main;
    for (std::size_t end; (end = all.find("\r\n")) != std::string_view::npos; all.remove_prefix(end + 2))
      if (end > 0) lines.emplace_back(all.substr(0, end));
    return lines;
  }
  WorkbenchModel& wb() { return c.workbench; }
  EntryEditorModel& ed() { return c.editor; }
  std::vector<std::string> ItemTexts() {
    std::vector<std::string> texts;
    for (const auto& i : wb().Items) texts.push_back(i.text);
    return texts;
  }

  PanelHost host;
  Client c{host};
};

TEST_F(Panels, WorkbenchListsFollowTheVariablesAndTheGroup) {
  Set("toolbox.item sword", "long sword");
  Set("toolbox.item shield", "");
  Set("toolbox.caption", "Оружие"_cp);
  Set("toolbox.button wield", "wield %toolbox.selected");
  // An item with an empty value is not stored: it never shows.
  EXPECT_EQ(ItemTexts(), (std::vector<std::string>{"sword"}));
  EXPECT_EQ(wb().Buttons, (std::vector<std::string>{"> wield"}));
  EXPECT_EQ(wb().Caption, Cp("Верстак: Оружие"_cp));
  // A new value in the same line, and the line gone.
  Set("toolbox.caption", "Луки"_cp);
  EXPECT_EQ(wb().Caption, Cp("Верстак: Луки"_cp));
  Set("toolbox.caption", "");
  EXPECT_EQ(wb().Caption, Cp("Верстак:"_cp));
  c.store.Variables().Add("toolbox.item long bow=");
  c.RefreshPanels();
  EXPECT_EQ(ItemTexts(), (std::vector<std::string>{"sword", "long bow"}));
  // Checks survive a refresh; removed variables take their entries along.
  wb().SetChecked(1, true);
  Set("toolbox.item sword", "");
  EXPECT_EQ(ItemTexts(), (std::vector<std::string>{"long bow"}));
  EXPECT_TRUE(wb().Items[0].checked);
  Set("toolbox.button wield", "");
  EXPECT_TRUE(wb().Buttons.empty());

  // The group off empties the lists; on again, they come back unchecked.
  Set("toolbox.button look", "look");
  Run("/set group toolbox=off");
  EXPECT_TRUE(wb().Items.empty());
  EXPECT_TRUE(wb().Buttons.empty());
  EXPECT_EQ(wb().Caption, Cp("Верстак:"_cp));
  Run("/set group toolbox=on");
  EXPECT_EQ(ItemTexts(), (std::vector<std::string>{"long bow"}));
  EXPECT_FALSE(wb().Items[0].checked);
  EXPECT_EQ(wb().Buttons, (std::vector<std::string>{"> look"}));
}

TEST_F(Panels, ClickingAnItemRunsTheClickCommandWithItsValue) {
  Set("toolbox.item sword", "long sword");
  Set("toolbox.onclick", "/echo %toolbox.selected");
  Set("toolbox.ondblclick", "/echo twice %toolbox.selected");
  c.store.Variables().Add("toolbox.item axe=");
  c.RefreshPanels();
  host.main.clear();
  wb().ClickItem(c, 0, false);
  wb().ClickItem(c, 1, true);
  EXPECT_EQ(Echoes(), (std::vector<std::string>{"long sword", "twice axe"}));
  EXPECT_EQ(wb().SelectedText(), "axe");
  EXPECT_EQ(c.interp.BusyIndicator(), '>');

  // Without an action the choice goes into the command line, after a space.
  Set("toolbox.onclick", "");
  wb().ClickItem(c, 0, false);
  EXPECT_EQ(host.line, "long sword");
  wb().ClickItem(c, 1, false);
  EXPECT_EQ(host.line, "long sword axe");
}

TEST_F(Panels, AButtonRunsOncePerCheckedItemInOrderAndUnchecksThem) {
  Set("toolbox.item a", "alpha");
  Set("toolbox.item b", "beta");
  Set("toolbox.item c", "gamma");
  Set("toolbox.button use", "/echo use %toolbox.selected");
  wb().SetChecked(2, true);
  wb().SetChecked(0, true);
  host.main.clear();
  wb().ClickButton(c, 0);
  EXPECT_EQ(Echoes(), (std::vector<std::string>{"use alpha", "use gamma"}));
  for (const auto& i : wb().Items) EXPECT_FALSE(i.checked);
  // With items but none checked nothing runs.
  host.main.clear();
  wb().ClickButton(c, 0);
  EXPECT_TRUE(Echoes().empty());
  // Without items the action runs once with "*".
  Set("toolbox.item a", "");
  Set("toolbox.item b", "");
  Set("toolbox.item c", "");
  wb().ClickButton(c, 0);
  EXPECT_EQ(Echoes(), (std::vector<std::string>{"use *"}));
}

TEST_F(Panels, AButtonWhoseActionRemovesItemsEndsSafely) {
  // The first run clears the workbench: the loop must stop at the emptied
  // list.
  Set("toolbox.item a", "1");
  Set("toolbox.item b", "2");
  Set("toolbox.item c", "3");
  Set("toolbox.button go", "/echo go %toolbox.selected;/clear toolbox");
  for (int i = 0; i < 3; ++i) wb().SetChecked(i, true);
  host.main.clear();
  wb().ClickButton(c, 0);
  EXPECT_EQ(Echoes(), (std::vector<std::string>{"go 1"}));
  EXPECT_TRUE(wb().Items.empty());
}

TEST_F(Panels, DraggingOverItemsChecksAndUnchecksThem) {
  Set("toolbox.item a", "1");
  Set("toolbox.item b", "2");
  wb().HoverItem(0, true, false, false, true);
  wb().HoverItem(1, true, false, false, true);
  EXPECT_TRUE(wb().Items[0].checked && wb().Items[1].checked);
  wb().HoverItem(0, true, true, false, false);
  EXPECT_FALSE(wb().Items[0].checked);
  // Without the button only the selection moves.
  wb().HoverItem(1, false, true, false, false);
  EXPECT_TRUE(wb().Items[1].checked);
  EXPECT_EQ(wb().SelectedText(), "b");
}

TEST_F(Panels, TheGroupBoxAndClearButtonWork) {
  Set("toolbox.item a", "1");
  Set("toolbox.caption", "x");
  wb().ToggleGroup(c, false);
  EXPECT_FALSE(c.store.GroupOn("toolbox"));
  EXPECT_EQ(host.focus_line, 1);
  wb().ToggleGroup(c, true);
  wb().Clear(c);
  EXPECT_TRUE(wb().Items.empty());
  EXPECT_EQ(c.store.Var("toolbox.caption"), "");
  EXPECT_EQ(c.store.Var("toolbox.onclick"), "");
  // The group keeps its state, and the workbench stays usable.
  EXPECT_TRUE(c.store.GroupOn("toolbox"));
  Set("toolbox.item z", "26");
  EXPECT_EQ(ItemTexts(), (std::vector<std::string>{"z"}));
}

TEST_F(Panels, EditorFilterRowsAndPreview) {
  Run("/vars");
  ASSERT_EQ(host.opened, (std::vector<EntryKind>{EntryKind::Variables}));
  EXPECT_EQ(ed().Caption(), "Переменные:"_cp);
  Run("/set default.a=1;/set default.b=x=y;/set defaults.c=3");
  ed().Filter = "default.";
  c.RefreshPanels();
  ASSERT_EQ(ed().Rows.size(), 2u);
  EXPECT_EQ(ed().Rows[1].group, "default");
  EXPECT_EQ(ed().Rows[1].name, "b");
  EXPECT_EQ(ed().Rows[1].value, "x=y");
  ed().SelectRow(1);
  EXPECT_EQ(ed().Preview, "/set var {default.b}={x=y}");
  // The filter is case-sensitive; nothing passing leaves one empty row.
  ed().Filter = "Default.";
  c.RefreshPanels();
  ASSERT_EQ(ed().Rows.size(), 1u);
  EXPECT_FALSE(ed().HasRows);
  EXPECT_EQ(ed().Rows[0].name, "");
}

TEST_F(Panels, EditorNameChangesLookUpTheValueAndAcceptSetsIt) {
  Run("/macros");
  Run("/set macro {default.hi}={say hello}");
  ed().Filter.clear();
  c.RefreshPanels();
  // A point cannot enter the group, nor "=" the name.
  const int row = ed().NameChanged(c.store, "def.ault", "h=i");
  EXPECT_EQ(ed().Group, "default");
  EXPECT_EQ(ed().Name, "hi");
  EXPECT_EQ(ed().Value, "say hello");
  EXPECT_GE(row, 0);
  EXPECT_EQ(ed().Rows[row].name, "hi");
  EXPECT_EQ(ed().NameChanged(c.store, "default", "new"), -1);
  EXPECT_EQ(ed().Value, "");
  ed().ValueChanged("say {x};bye");
  EXPECT_EQ(ed().Preview, "/set macro {default.new}={say {x};bye}");
  ed().Accept(c);
  EXPECT_EQ(c.store.Macros().GetValue("default.new"), "say {x};bye");
  // Accepting refreshed the grid.
  bool shown = false;
  for (const auto& r : ed().Rows) shown = shown || r.name == "new";
  EXPECT_TRUE(shown);
}

TEST_F(Panels, EditorAddAndDeleteButNeverForGroups) {
  Run("/trigs");
  Run("/set trig {preview.boom}={/echo boom};/set trig {default.hit}={/echo hit}");
  c.RefreshPanels();
  ASSERT_GE(c.store.Preview().IndexOfName("preview.boom"), 0);
  int row = -1;
  for (std::size_t i = 0; i < ed().Rows.size(); ++i)
    if (ed().Rows[i].name == "boom") row = static_cast<int>(i);
  ASSERT_GE(row, 0);
  ed().SelectRow(row);
  EXPECT_TRUE(ed().Delete(c));
  EXPECT_LT(c.store.Triggers().IndexOfName("preview.boom"), 0);
  EXPECT_LT(c.store.Preview().IndexOfName("preview.boom"), 0);
  EXPECT_GE(c.store.Triggers().IndexOfName("default.hit"), 0);

  EXPECT_TRUE(ed().Add());
  EXPECT_EQ(ed().Group, "default");
  EXPECT_EQ(ed().Name, "");
  EXPECT_EQ(ed().Preview, "/set trig {default.}={}");

  Run("/groups");
  const int groups = c.store.Groups().Count();
  ed().SelectRow(0);
  EXPECT_EQ(ed().Rows[0].group, "group");
  EXPECT_EQ(ed().Preview, "/set group " + ed().Rows[0].name + "={" + ed().Rows[0].value + "}");
  EXPECT_FALSE(ed().Add());
  EXPECT_FALSE(ed().Delete(c));
  EXPECT_EQ(c.store.Groups().Count(), groups);
}

TEST_F(Panels, TheConsoleOpensNoEditor) {
  TestHost plain;
  Client console{plain};
  console.DefaultProfile();
  console.ExecuteCommand("/vars", false);
  EXPECT_FALSE(console.editor.Visible);
}

}  // namespace
}  // namespace tarnel::test
