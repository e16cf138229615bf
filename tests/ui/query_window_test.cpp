// Chat tabs and output windows in the real window, with real clicks and
// keys.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <filesystem>

#include "app/gui_host.h"
#include "app/main_form.h"
#include "platform/qt_host.h"
#include "text/cp1251.h"
#include "window_fixture.h"

namespace tarnel {
namespace {

using namespace literals;
namespace fs = std::filesystem;

class PrintingHost : public GuiHost {
 public:
  std::string printed;
  void TerminalWritten(TerminalId id, std::string_view text) override {
    if (id == TerminalId::Main) printed.append(text);
    GuiHost::TerminalWritten(id, text);
  }
};

class QueryWindowTest : public WindowFixture<PrintingHost> {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    Start({}, QSize(1000, 700));
    client_->ExecuteCommand("/set macro /say={/echo to %0: %1}", false);
    host_.printed.clear();
  }
  void Run(std::string_view commands) {
    client_->ExecuteCommand(commands, false);
    QApplication::processEvents();
  }
  std::string ScreenText(TForm1& w) {
    std::string text;
    const TScreen& s = w.EmulVT1->Screen();
    for (int r = 0; r < s.ScreenRows(); ++r) text.append(s.RowLine(r)->Chars, static_cast<std::size_t>(s.Cols())).append("|");
    return text;
  }

};

TEST_F(QueryWindowTest, ATellMarksItsTabAndTheTabAnswers) {
  Run("/set trig {%1 говорит вам: %2}={/query %1 %2}"_cp);
  client_->ExecuteCommand("/emulate {Вася говорит вам: привет}"_cp, false);
  Run("/query Вася как дела"_cp);
  QTabBar* tabs = form_->TabControl1;
  ASSERT_TRUE(form_->Panel15->Panel14->isVisible());
  ASSERT_EQ(tabs->count(), 1);
  EXPECT_EQ(tabs->tabText(0), QString::fromUtf8("*Вася"));
  EXPECT_FALSE(form_->Panel15->isVisible());
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
  QApplication::processEvents();
  EXPECT_EQ(tabs->tabText(0), QString::fromUtf8(" Вася"));
  ASSERT_TRUE(form_->Panel15->isVisible());
  EXPECT_EQ(form_->Panel15->Memo2->toPlainText(), QString::fromUtf8("привет \nкак дела "));
  EXPECT_TRUE(form_->Panel15->Edit15->hasFocus());
  // A new message while the tab is shown: no mark, one more line.
  Run("/query Вася ещё"_cp);
  EXPECT_EQ(tabs->tabText(0), QString::fromUtf8(" Вася"));
  EXPECT_EQ(form_->Panel15->Memo2->blockCount(), 3);
  // The answer goes out through the player's "/say"; "/close" ends the
  // query.
  host_.printed.clear();
  form_->Panel15->Edit15->setText(QString::fromUtf8("привет;/close"));
  QTest::keyClick(form_->Panel15->Edit15, Qt::Key_Return);
  QApplication::processEvents();
  std::string answer;
  answer += "to Вася: привет"_cp;
  EXPECT_NE(host_.printed.find(answer), std::string::npos) << host_.printed;
  EXPECT_EQ(tabs->count(), 0);
  EXPECT_FALSE(form_->Panel15->isVisible());
  EXPECT_TRUE(form_->Edit1->hasFocus());
}

TEST_F(QueryWindowTest, HideClosesThePanelWhenTheCommandLineTakesTheFocus) {
  Run("/query a 1");
  QTabBar* tabs = form_->TabControl1;
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
  ASSERT_TRUE(form_->Panel15->isVisible());
  form_->Edit1->setFocus();
  QApplication::processEvents();
  EXPECT_TRUE(form_->Panel15->isVisible());  // "Скрывать" is not ticked
  form_->CheckBox4->setChecked(true);
  form_->Panel15->Edit15->setFocus();
  form_->Edit1->setFocus();
  QApplication::processEvents();
  EXPECT_FALSE(form_->Panel15->isVisible());
  EXPECT_EQ(client_->queries.Selected, -1);
}

TEST_F(QueryWindowTest, TextOutMakesAWindowThatRemembersItsPlace) {
  Run("/textout log a/crb");
  ASSERT_TRUE(form_->HasOutputWindow("log"));
  TForm1& w = *form_->OutputWindows["log"];
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.windowTitle(), "log");
  const std::string text = ScreenText(w);
  EXPECT_EQ(text.find('a'), std::string::npos) << text;  // b went over a
  const auto b = text.find("|b ");
  ASSERT_NE(b, std::string::npos) << text;
  // Then the line ended: the cursor stands at the start of the next row.
  const int b_row = static_cast<int>(std::count(text.begin(), text.begin() + static_cast<long>(b) + 1, '|'));
  EXPECT_EQ(w.EmulVT1->Screen().CursorRow, b_row + 1);
  EXPECT_EQ(w.EmulVT1->Screen().CursorCol, 0);
  // Its menu item is there.
  ASSERT_EQ(form_->WindowsMenu->actions().size(), 1);
  EXPECT_EQ(form_->WindowsMenu->actions()[0]->text(), "log");

  // Resizing stores the place; showing again takes it back.
  w.resize(333, 222);
  QApplication::processEvents();
  EXPECT_EQ(client_->store.Var("windows.log._width"), "333");
  EXPECT_EQ(client_->store.Var("windows.log._height"), "222");
  Run("/window log hide");
  EXPECT_FALSE(w.isVisible());
  Run("/set windows.log._width=300;/set windows.log._height=200");
  Run("/window log");
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.width(), 300);
  EXPECT_EQ(w.height(), 200);
  // The frame's close only hides it.
  w.close();
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(form_->HasOutputWindow("log"));
  Run("/window log clear");
  EXPECT_EQ(ScreenText(w).find('b'), std::string::npos);
}

TEST_F(QueryWindowTest, WindowCloseFreesAndCommandLineFillsTheLine) {
  Run("/window new close");
  EXPECT_FALSE(form_->HasOutputWindow("new"));
  EXPECT_TRUE(form_->WindowsMenu->actions().isEmpty());
  Run("/commandline north;south");
  EXPECT_EQ(form_->Edit1->text(), "north");
  Run("/commandline {look at me}");
  EXPECT_EQ(form_->Edit1->text(), "{look at me}");
  EXPECT_EQ(form_->Edit1->cursorPosition(), form_->Edit1->text().size());
}

}  // namespace
}  // namespace tarnel
