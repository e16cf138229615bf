// The entry editor and the workbench in the real window, with real mouse
// and key events.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>
#include <QTest>

#include "app/gui_host.h"
#include "app/main_form.h"
#include "text/cp1251.h"
#include "window_fixture.h"

namespace tarnel {
namespace {

using namespace literals;

class PrintingHost : public GuiHost {
 public:
  std::string printed;
  void TerminalWritten(TerminalId id, std::string_view text) override {
    if (id == TerminalId::Main) printed.append(text);
    GuiHost::TerminalWritten(id, text);
  }
};

class PanelsTest : public WindowFixture<PrintingHost> {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    Start({}, QSize(1100, 760));
    host_.printed.clear();
  }
  void Run(std::string_view commands) {
    client_->ExecuteCommand(commands, false);
    QApplication::processEvents();
  }
  void Set(std::string_view name, std::string_view value) {
    client_->store.Variables().SetValue(name, value);
    client_->RefreshPanels();
    QApplication::processEvents();
  }
  bool Printed(std::string_view text) { return host_.printed.find(text) != std::string::npos; }
  TEntryEditor& editor() { return *form_->Panel9; }
  TWorkbench& bench() { return *form_->Panel7; }
  // The middle of a grid row, in the viewport's coordinates.
  QPoint RowPoint(int row) {
    QTableWidget* g = editor().StringGrid1;
    return g->visualItemRect(g->item(row, 1)).center();
  }
  int RowOf(const std::string& name) {
    QTableWidget* g = editor().StringGrid1;
    for (int r = 0; r < g->rowCount(); ++r)
      if (g->item(r, 1) && g->item(r, 1)->text() == ToQString(name)) return r;
    return -1;
  }
  static void Retype(QWidget* field, const QString& text) {
    auto* edit = static_cast<QLineEdit*>(field);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
  }
  // A mouse move over a list with buttons and modifiers held.
  static void Drag(QListWidget* list, int row, Qt::KeyboardModifiers mods) {
    const QPoint p = list->visualItemRect(list->item(row)).center();
    QMouseEvent move(QEvent::MouseMove, QPointF(p), list->viewport()->mapToGlobal(QPointF(p)), Qt::NoButton,
                     Qt::LeftButton, mods);
    QApplication::sendEvent(list->viewport(), &move);
  }
};

TEST_F(PanelsTest, TheVariablesEditorFiltersEditsAndAccepts) {
  Run("/set default.apple=1;/set default.pear=2;/set other.plum=3");
  // The menu item opens the editor; the command line keeps the focus.
  QAction* vars = nullptr;
  for (QAction* a : form_->menuBar()->findChildren<QAction*>())
    if (a->text() == ToQString("Переменные..."_cp)) vars = a;
  ASSERT_NE(vars, nullptr);
  vars->trigger();
  QApplication::processEvents();
  ASSERT_TRUE(editor().isVisible());
  EXPECT_EQ(editor().Label11->text(), ToQString("Переменные:"_cp));
  EXPECT_TRUE(form_->Edit1->hasFocus());
  EXPECT_GE(RowOf("plum"), 0);

  editor().Edit14->setFocus();
  QTest::keyClicks(editor().Edit14, "default.");
  EXPECT_EQ(editor().StringGrid1->rowCount(), 2);
  EXPECT_EQ(RowOf("plum"), -1);

  QTest::mouseClick(editor().StringGrid1->viewport(), Qt::LeftButton, {}, RowPoint(RowOf("pear")));
  EXPECT_EQ(editor().Edit13->text(), "default");
  EXPECT_EQ(editor().Edit11->text(), "pear");
  EXPECT_EQ(editor().Edit12->text(), "2");
  EXPECT_EQ(editor().Label7->text(), "/set var {default.pear}={2}");

  Retype(editor().Edit12, "twenty");
  EXPECT_EQ(editor().Label7->text(), "/set var {default.pear}={twenty}");
  QTest::keyClick(editor().Edit12, Qt::Key_Return);
  EXPECT_EQ(client_->store.Var("default.pear"), "twenty");
  EXPECT_EQ(editor().StringGrid1->item(RowOf("pear"), 2)->text(), "twenty");

  // A name typed: the value of that entry comes into the value field.
  Retype(editor().Edit11, "apple");
  EXPECT_EQ(editor().Edit12->text(), "1");
  EXPECT_EQ(editor().StringGrid1->currentRow(), RowOf("apple"));

  // Insert adds, Delete deletes, both in the grid.
  editor().StringGrid1->setFocus();
  QTest::keyClick(editor().StringGrid1, Qt::Key_Insert);
  EXPECT_EQ(editor().Edit13->text(), "default");
  EXPECT_TRUE(editor().Edit11->hasFocus());
  QTest::keyClicks(editor().Edit11, "kiwi");
  QTest::keyClicks(editor().Edit12, "");
  editor().Edit12->setFocus();
  QTest::keyClicks(editor().Edit12, "green");
  QTest::mouseClick(editor().Button8, Qt::LeftButton);
  EXPECT_EQ(client_->store.Var("default.kiwi"), "green");
  QTest::mouseClick(editor().StringGrid1->viewport(), Qt::LeftButton, {}, RowPoint(RowOf("apple")));
  editor().StringGrid1->setFocus();
  QTest::keyClick(editor().StringGrid1, Qt::Key_Delete);
  EXPECT_EQ(client_->store.Var("default.apple"), "");
  EXPECT_EQ(RowOf("apple"), -1);

  // Escape closes the editor and gives the command line the focus.
  QTest::keyClick(editor().StringGrid1, Qt::Key_Escape);
  EXPECT_FALSE(editor().isVisible());
  EXPECT_TRUE(form_->Edit1->hasFocus());
}

TEST_F(PanelsTest, HotkeyNamesAreCapturedAndNeverFire) {
  // Shift goes in front of Ctrl, as in the names hotkeys are looked up by.
  Run("/set hotkey {default.Shift+Ctrl+F5}={/echo fired}");
  Run("/hotkeys");
  ASSERT_TRUE(editor().isVisible());
  EXPECT_TRUE(editor().Edit11->isReadOnly());
  editor().Edit11->setFocus();
  host_.printed.clear();
  QTest::keyClick(editor().Edit11, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(editor().Edit11->text(), "Shift+Ctrl+F5");
  EXPECT_FALSE(Printed("fired"));
  // The captured name finds its entry.
  EXPECT_EQ(editor().Edit12->text(), "/echo fired");
  // Letters are keys too: the name is the last one, nothing is typed.
  QTest::keyClicks(editor().Edit11, "abc");
  EXPECT_EQ(editor().Edit11->text(), "C");
  QTest::keyClick(editor().Edit11, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
  // Keys in the value field fire no hotkey either.
  editor().Edit12->setFocus();
  QTest::keyClick(editor().Edit12, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_FALSE(Printed("fired"));
  // "X" closes the editor.
  QTest::mouseClick(editor().Button2, Qt::LeftButton);
  EXPECT_FALSE(editor().isVisible());
  QTest::keyClick(form_->Edit1, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(Printed("fired"));
}

TEST_F(PanelsTest, TheGroupsEditorLeavesTheGroupsAlone) {
  Run("/groups");
  const int groups = client_->store.Groups().Count();
  EXPECT_FALSE(editor().Edit13->isEnabled());
  editor().StringGrid1->setFocus();
  QTest::keyClick(editor().StringGrid1, Qt::Key_Delete);
  QTest::keyClick(editor().StringGrid1, Qt::Key_Insert);
  EXPECT_EQ(client_->store.Groups().Count(), groups);
  EXPECT_EQ(editor().Edit13->text(), "group");
}

TEST_F(PanelsTest, TheWorkbenchRunsItsItemsAndButtons) {
  Set("toolbox.caption", "Оружие"_cp);
  Set("toolbox.item sword", "long sword");
  Set("toolbox.item axe", "battle axe");
  Set("toolbox.item bow", "");
  client_->store.Variables().Add("toolbox.item bow=");
  Set("toolbox.onclick", "/echo click %toolbox.selected");
  Set("toolbox.button wield", "/echo wield %toolbox.selected");
  QListWidget* items = bench().CheckListBox1;
  QListWidget* buttons = bench().ListBox1;
  ASSERT_EQ(items->count(), 3);
  EXPECT_EQ(bench().Label1->text(), ToQString("Верстак: Оружие"_cp));
  ASSERT_EQ(buttons->count(), 1);
  EXPECT_EQ(buttons->item(0)->text(), "> wield");

  QTest::mouseClick(items->viewport(), Qt::LeftButton, {}, items->visualItemRect(items->item(0)).center());
  EXPECT_TRUE(Printed("click long sword"));
  EXPECT_EQ(bench().Label2->text(), "sword");
  EXPECT_TRUE(form_->Edit1->hasFocus());

  // Shift-dragging checks; the button runs once per checked item, in order.
  Drag(items, 2, Qt::ShiftModifier);
  Drag(items, 1, Qt::ShiftModifier);
  EXPECT_EQ(items->item(1)->checkState(), Qt::Checked);
  EXPECT_EQ(items->item(2)->checkState(), Qt::Checked);
  host_.printed.clear();
  QTest::mouseClick(buttons->viewport(), Qt::LeftButton, {}, buttons->visualItemRect(buttons->item(0)).center());
  const std::size_t axe = host_.printed.find("wield battle axe");
  const std::size_t bow = host_.printed.find("wield bow");
  ASSERT_NE(axe, std::string::npos);
  ASSERT_NE(bow, std::string::npos);
  EXPECT_LT(axe, bow);
  EXPECT_EQ(items->item(1)->checkState(), Qt::Unchecked);
  EXPECT_EQ(items->item(2)->checkState(), Qt::Unchecked);

  // The group's box: off empties the lists, on brings them back.
  QTest::mouseClick(bench().CheckBox2, Qt::LeftButton);
  EXPECT_FALSE(client_->store.GroupOn("toolbox"));
  EXPECT_EQ(items->count(), 0);
  EXPECT_EQ(bench().Label1->text(), ToQString("Верстак:"_cp));
  Run("/set group toolbox=on");
  EXPECT_TRUE(bench().CheckBox2->isChecked());
  EXPECT_EQ(items->count(), 3);

  // Without a click command the item goes into the command line.
  Set("toolbox.onclick", "");
  form_->Edit1->setText("kill");
  QTest::mouseClick(items->viewport(), Qt::LeftButton, {}, items->visualItemRect(items->item(1)).center());
  EXPECT_EQ(form_->Edit1->text(), "kill battle axe");

  // "C" empties the workbench.
  QTest::mouseClick(bench().Button3, Qt::LeftButton);
  EXPECT_EQ(items->count(), 0);
  EXPECT_EQ(buttons->count(), 0);
  EXPECT_TRUE(client_->store.GroupOn("toolbox"));
}

}  // namespace
}  // namespace tarnel
