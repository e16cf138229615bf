// The desktop window with real key events.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <filesystem>

#include "app/gui_host.h"
#include "app/main_form.h"
#include "platform/qt_host.h"
#include "script/text_file.h"
#include "text/cp1251.h"
#include "text/encoding.h"
#include "window_fixture.h"

#include <QMenuBar>

namespace tarnel {
namespace {

using namespace literals;
namespace fs = std::filesystem;

// A host that records what was sent, on top of the real window host.
class RecordingHost : public GuiHost {
 public:
  std::vector<std::string> sent;
  std::string printed;
  void SocketSend(std::string_view bytes) override { sent.emplace_back(bytes); }
  void TerminalWritten(TerminalId id, std::string_view text) override {
    if (id == TerminalId::Main) printed.append(text);
    GuiHost::TerminalWritten(id, text);
  }
};

class MainFormTest : public WindowFixture<RecordingHost> {
 protected:
  void Start(const std::vector<std::string>& args = {}) {
    WindowFixture::Start(args);
    host_.printed.clear();
  }
  void Type(const QString& text) {
    QTest::keyClicks(form_->Edit1, text);
    QApplication::processEvents();
  }
  void Enter() { QTest::keyClick(form_->Edit1, Qt::Key_Return); }
};

TEST_F(MainFormTest, TheWindowIsCaptionedAndHasTheMenu) {
  Start();
  EXPECT_EQ(form_->windowTitle(), "Tarnel MUD Client");
  QStringList menus;
  for (QAction* a : form_->menuBar()->actions()) menus << a->text();
  EXPECT_EQ(menus, QStringList({QString::fromUtf8("Файлы"), QString::fromUtf8("Настройки"),
                                QString::fromUtf8("Помощь"), QString::fromUtf8("Окна :"),
                                QString::fromUtf8("скрыть"), QString::fromUtf8("показать")}));
}

TEST_F(MainFormTest, EnterRunsTheLineWithEchoOn) {
  Start();
  Type("/echo hello");
  EXPECT_EQ(form_->Edit1->text(), "/echo hello");
  Enter();
  EXPECT_EQ(form_->Edit1->text(), "");
  EXPECT_NE(host_.printed.find("hello\r\n"), std::string::npos) << host_.printed;
  client_->connection.OnConnected();
  Type("north");
  Enter();
  EXPECT_NE(host_.printed.find("north\r\n"), std::string::npos);
  ASSERT_EQ(host_.sent.size(), 1u);
  EXPECT_EQ(host_.sent[0], "north\r");
}

TEST_F(MainFormTest, RepeatedLinesAreStoredOnceAndEarlierDuplicatesAgain) {
  Start();
  for (const char* l : {"/nop north", "/nop north", "/nop south", "/nop north"}) {
    Type(l);
    Enter();
  }
  const auto& e = form_->history.Entries();
  ASSERT_EQ(e.Count(), 3);
  EXPECT_EQ(e[0], "/nop north");
  EXPECT_EQ(e[2], "/nop north");
}

TEST_F(MainFormTest, UpAndDownWalkTheLinesThatBeginWithTheTypedText) {
  Start();
  for (const char* l : {"/nop look", "/nop north", "/nop lo"}) {
    Type(l);
    Enter();
  }
  Type("/nop lo");
  QTest::keyClick(form_->Edit1, Qt::Key_Up);
  EXPECT_EQ(form_->Edit1->text(), "/nop lo");
  QTest::keyClick(form_->Edit1, Qt::Key_Up);
  EXPECT_EQ(form_->Edit1->text(), "/nop look");
  QTest::keyClick(form_->Edit1, Qt::Key_Up);
  EXPECT_EQ(form_->Edit1->text(), "/nop look");
  QTest::keyClick(form_->Edit1, Qt::Key_Down);
  EXPECT_EQ(form_->Edit1->text(), "/nop lo");
  QTest::keyClick(form_->Edit1, Qt::Key_Down);
  EXPECT_EQ(form_->Edit1->text(), "");
  // Without a prefix Up takes every entry, newest first.
  QTest::keyClick(form_->Edit1, Qt::Key_Up);
  EXPECT_EQ(form_->Edit1->text(), "/nop lo");
  QTest::keyClick(form_->Edit1, Qt::Key_Up);
  EXPECT_EQ(form_->Edit1->text(), "/nop north");
  QTest::keyClick(form_->Edit1, Qt::Key_Escape);
  EXPECT_EQ(form_->Edit1->text(), "");
}

TEST_F(MainFormTest, UpOnAnEmptyHistoryAndDownOnAFreshLineDoNothing) {
  Start();
  QTest::keyClick(form_->Edit1, Qt::Key_Up);
  EXPECT_EQ(form_->Edit1->text(), "");
  QTest::keyClick(form_->Edit1, Qt::Key_Down);
  EXPECT_EQ(form_->Edit1->text(), "");
}

TEST_F(MainFormTest, TheHistoryKeepsFiveHundredLines) {
  Start();
  for (int i = 0; i < 501; ++i) form_->history.Entered("line " + std::to_string(i));
  EXPECT_EQ(form_->history.Entries().Count(), 500);
  EXPECT_EQ(form_->history.Entries()[0], "line 1");
}

TEST_F(MainFormTest, APastedTextBecomesOneLine) {
  Start();
  QApplication::clipboard()->setText("a\r\nb");
  QTest::keyClick(form_->Edit1, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(form_->Edit1->text(), "a b");
  form_->Edit1->clear();
  QApplication::clipboard()->setText("c\nd");
  QTest::keyClick(form_->Edit1, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(form_->Edit1->text(), "cd");
}

TEST_F(MainFormTest, HotkeysFireByTheirKeyNames) {
  Start();
  client_->ExecuteCommand("/set hot F5=/echo plain f5", false);
  client_->ExecuteCommand("/set hot ctrl+f5=/echo ctrl f5", false);
  client_->ExecuteCommand("/set hot ALT+CTRL+F1=/echo alt ctrl f1", false);
  client_->ExecuteCommand("/set hot num8=/echo num8", false);
  EXPECT_EQ(client_->store.Hotkeys().GetValue("default.CTRL+F5"), "/echo ctrl f5");
  host_.printed.clear();
  QTest::keyClick(form_->Edit1, Qt::Key_F5);
  EXPECT_EQ(host_.printed, "plain f5\r\n");
  EXPECT_EQ(form_->Edit1->text(), "");
  host_.printed.clear();
  QTest::keyClick(form_->Edit1, Qt::Key_F5, Qt::ControlModifier);
  EXPECT_EQ(host_.printed, "ctrl f5\r\n");
  host_.printed.clear();
  QTest::keyClick(form_->Edit1, Qt::Key_F1, Qt::ControlModifier | Qt::AltModifier);
  EXPECT_EQ(host_.printed, "alt ctrl f1\r\n");
  host_.printed.clear();
  QTest::keyClick(form_->Edit1, Qt::Key_8, Qt::KeypadModifier);
  EXPECT_EQ(host_.printed, "num8\r\n");
  EXPECT_EQ(form_->Edit1->text(), "");
  // With Ctrl the keypad moves the map and never fires a hotkey.
  host_.printed.clear();
  int rows_moved = 0;
  form_->Map.MoveRows = [&](int step) { rows_moved += step; };
  QTest::keyClick(form_->Edit1, Qt::Key_8, Qt::KeypadModifier | Qt::ControlModifier);
  EXPECT_EQ(host_.printed, "");
  EXPECT_EQ(rows_moved, -1);
  // The plain digit 8 is another key.
  QTest::keyClick(form_->Edit1, Qt::Key_8);
  QApplication::processEvents();
  EXPECT_EQ(form_->Edit1->text(), "8");
  // A group that is off fires nothing.
  client_->ExecuteCommand("/set group default=off", false);
  host_.printed.clear();
  QTest::keyClick(form_->Edit1, Qt::Key_F5);
  EXPECT_EQ(host_.printed, "");
}

TEST_F(MainFormTest, AltBackspaceTakesBackTheLastRecordedRoomAndLeavesTheLineAlone) {
  Start();
  client_->ExecuteCommand("/newmap;/nav e;/nav e", false);
  ASSERT_EQ(client_->map.CellList.Count(), 3);
  Type("look");
  QTest::keyClick(form_->Edit1, Qt::Key_Backspace, Qt::AltModifier);
  EXPECT_EQ(client_->map.CellList.Count(), 2);
  ASSERT_NE(client_->map.CurrentRoom(), nullptr);
  EXPECT_EQ(client_->map.CurrentRoom()->id, 2);
  EXPECT_EQ(client_->map.CurrentRoom()->exitIds[kEast], 0);
  EXPECT_EQ(form_->Edit1->text(), "look");
  // A plain Backspace edits the line.
  QTest::keyClick(form_->Edit1, Qt::Key_Backspace);
  EXPECT_EQ(form_->Edit1->text(), "loo");
  EXPECT_EQ(client_->map.CellList.Count(), 2);
}

TEST_F(MainFormTest, ArgumentsRunBeforeTheProfileAndTheStartupCommandOnce) {
  Start({"/echo", "args:[%global._profile]"});
  // The arguments saw an empty store: the profile came later.
  const std::string& all = client_->output.Stripper().Inside() ? std::string() : std::string();
  (void)all;
  EXPECT_EQ(client_->store.Var("global._profile"), (dir_ / "default.tmc").string());
  // A second activation does not run the start-up command again.
  host_.printed.clear();
  QEvent activate(QEvent::ActivationChange);
  QApplication::setActiveWindow(nullptr);
  QApplication::setActiveWindow(form_.get());
  QApplication::processEvents();
  EXPECT_EQ(host_.printed.find("Создан новый профиль"), std::string::npos);
}

TEST_F(MainFormTest, ClosingTheWindowWritesTheLastProfile) {
  Start();
  form_->close();
  std::string ini;
  ASSERT_TRUE(ReadWholeFile((dir_ / "TARNEL.ini").string(), ini));
  EXPECT_EQ(ini, "lastprofile=" + (dir_ / "default.tmc").string() + "\r\n");
}

TEST_F(MainFormTest, QuitClosesTheWindowOnceTheCommandsHaveReturned) {
  Start();
  Type("/quit;/echo after");
  Enter();
  EXPECT_NE(host_.printed.find("after"), std::string::npos);
  QTest::qWait(100);
  EXPECT_FALSE(form_->isVisible());
  EXPECT_TRUE(fs::exists(dir_ / "TARNEL.ini"));
}

TEST_F(MainFormTest, PageUpOpensTheHistoryAtTheLiveEndAndMovesBack) {
  Start();
  for (int i = 0; i < 200; ++i) client_->PrintText("line " + std::to_string(i) + "\r\n");
  EXPECT_FALSE(form_->Panel17->isVisible());
  QTest::keyClick(form_->Edit1, Qt::Key_PageUp);
  EXPECT_TRUE(form_->Panel17->isVisible());
  EXPECT_EQ(form_->ScrollBar1->value(), 0);
  const int rows = form_->EmulVT2->Rows();
  ASSERT_GT(rows, 2);
  QTest::keyClick(form_->Edit1, Qt::Key_PageUp);
  EXPECT_EQ(form_->ScrollBar1->value(), -(rows - 1));
  EXPECT_EQ(form_->EmulVT2->FirstShownRow(), -(rows - 1));
  // Output keeps the view on the same rows.
  client_->PrintText("one\r\ntwo\r\nthree\r\n");
  EXPECT_EQ(form_->ScrollBar1->value(), -(rows - 1) - 3);
  QTest::keyClick(form_->Edit1, Qt::Key_Escape);
  EXPECT_FALSE(form_->Panel17->isVisible());
  // Shift+Up opens it too.
  QTest::keyClick(form_->Edit1, Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_TRUE(form_->Panel17->isVisible());
  EXPECT_EQ(form_->ScrollBar1->value(), 0);
  QTest::keyClick(form_->Edit1, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_FALSE(form_->Panel17->isVisible());
}

TEST_F(MainFormTest, APauseCompletesTheLastWordAndTypingReplacesTheOffer) {
  Start();
  // The completion timer firing, as it does after the pause.
  auto pause = [this] { client_->OnTimer(TimerId::Completion); };
  Type("/con");
  pause();
  EXPECT_EQ(form_->Edit1->text(), "/connect ");
  EXPECT_EQ(form_->Edit1->selectedText(), "nect ");
  // The next key replaces what was offered.
  Type("x");
  EXPECT_EQ(form_->Edit1->text(), "/conx");
  // An argument recorded for "/connect" follows it.
  form_->Edit1->clear();
  Type("/connect mu");
  pause();
  EXPECT_EQ(form_->Edit1->text(), "/connect mud.example.org 4000 ");
  // Trailing blanks are never completed, nor a word the caret is not at.
  form_->Edit1->clear();
  Type("/con ");
  pause();
  EXPECT_EQ(form_->Edit1->text(), "/con ");
  form_->Edit1->clear();
  Type("/con");
  form_->Edit1->setCursorPosition(2);
  pause();
  EXPECT_EQ(form_->Edit1->text(), "/con");
  // The completion is no typing: the history prefix stays the player's.
  form_->Edit1->setCursorPosition(4);
  pause();
  EXPECT_EQ(form_->history.Prefix(), "/con");
}

TEST_F(MainFormTest, TheHistoryViewHoldsTheStartUpText) {
  Start();
  QTest::keyClick(form_->Edit1, Qt::Key_PageUp);
  ASSERT_TRUE(form_->Panel17->isVisible());
  const TScreen& s = client_->history_screen;
  std::string all;
  for (int r = -s.HistoryRows(); r < s.ScreenRows(); ++r)
    if (const TLine* line = s.RowLine(r)) all.append(line->Chars, kLineCells).append("\n");
  EXPECT_NE(all.find(std::string("Добро пожаловать в Tarnel MUD Client"_cp)), std::string::npos);
  EXPECT_NE(all.find("\"/man news\""), std::string::npos);
}

TEST_F(MainFormTest, APasswordShowsAsBulletsAndIsNeitherShownNorKept) {
  Start();
  client_->store.Variables().SetValue("global._logfile", (dir_ / "game.log").string());
  client_->connection.OnConnected();
  Type("connect wizard");
  Enter();
  client_->connection.OnRead("Password: \xFF\xFB\x01");
  EXPECT_EQ(form_->Edit1->echoMode(), QLineEdit::Password);
  Type("potrzebie");
  Enter();
  EXPECT_EQ(host_.sent.back(), "potrzebie\r");
  EXPECT_EQ(host_.printed.find("potrzebie"), std::string::npos);
  std::string log;
  ASSERT_TRUE(ReadWholeFile((dir_ / "game.log").string(), log));
  EXPECT_EQ(log.find("potrzebie"), std::string::npos);
  EXPECT_NE(log.find("connect wizard"), std::string::npos);
  client_->connection.OnRead("\r\n\xFF\xFC\x01Welcome\r\n");
  EXPECT_EQ(form_->Edit1->echoMode(), QLineEdit::Normal);
  // Up shows the last line that was kept: the login, not the password.
  QTest::keyClick(form_->Edit1, Qt::Key_Up);
  EXPECT_EQ(form_->Edit1->text(), "connect wizard");
  EXPECT_EQ(form_->history.Entries().Count(), 1);
}

TEST_F(MainFormTest, F10OpensTheMenusAndTheArrowsWalkThem) {
  Start();
  QTest::keyClick(form_->Edit1, Qt::Key_F10);
  QMenuBar* bar = form_->menuBar();
  ASSERT_NE(bar->activeAction(), nullptr);
  EXPECT_EQ(bar->activeAction(), bar->actions().first());
  QWidget* popup = QApplication::activePopupWidget();
  ASSERT_NE(popup, nullptr);
  QTest::keyClick(popup, Qt::Key_Right);
  EXPECT_EQ(bar->activeAction(), bar->actions().at(1));
  popup = QApplication::activePopupWidget();
  ASSERT_NE(popup, nullptr);
  QTest::keyClick(popup, Qt::Key_Escape);
  QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget() : bar,
                  Qt::Key_Escape);
  // A hotkey on F10 wins over the menu.
  client_->ExecuteCommand("/set hot f10=/echo ten", false);
  QApplication::processEvents();
  form_->Edit1->setFocus();
  host_.printed.clear();
  QTest::keyClick(form_->Edit1, Qt::Key_F10);
  EXPECT_NE(host_.printed.find("ten"), std::string::npos);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

}  // namespace
}  // namespace tarnel
