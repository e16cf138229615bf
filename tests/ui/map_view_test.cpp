// The map column of the window with real mouse and key events, read back
// from the pixels of the drawn picture.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <filesystem>

#include "app/gui_host.h"
#include "app/main_form.h"
#include "mapper/map_layout.h"
#include "platform/qt_host.h"
#include "text/cp1251.h"
#include "window_fixture.h"

namespace tarnel {
namespace {

using namespace literals;
namespace fs = std::filesystem;

class EchoHost : public GuiHost {
 public:
  std::string printed;
  void TerminalWritten(TerminalId id, std::string_view text) override {
    if (id == TerminalId::Main) printed.append(text);
    GuiHost::TerminalWritten(id, text);
  }
  // The file dialog answers at once.
  std::string AskMapFileName(bool save, std::string_view, std::string_view folder) override {
    asked = std::string(save ? "save " : "open ") + std::string(folder);
    return answer;
  }
  std::string asked;
  std::string answer;
};

class MapPanelTest : public WindowFixture<EchoHost> {
 protected:
  void SetUp() override {
    WindowFixture::SetUp();
    Start({}, QSize(1000, 700));
    map_ = form_->Panel1;
    // Rooms 1 to 3 going east, the first current.
    Run("/newmap;/set map.flat=A;/nav x;/set map.flat=B;/nav e;/set map.flat=C;/nav e");
    Current(1);
    host_.printed.clear();
  }
  void Run(const std::string& commands) { client_->ExecuteCommand(commands, false); }
  void Current(int id) {
    client_->map.SetCurrent(client_->map.CellList.FindId(id));
    Run("/set map.located=1");
    CenterOnCurrentCell(*client_);
  }
  tmudcell* Cell(int id) { return client_->map.CellList.FindId(id); }
  // The middle of the square of a slot, in the picture.
  QPoint Middle(int x, int y) const {
    const MapViewState& v = client_->map.view;
    return {(x - v.column_origin) * v.square_width + v.square_width / 2,
            (y - v.row_origin) * v.square_height + v.square_height / 2};
  }
  // A pixel of a slot's square away from its marks.
  QRgb SquarePixel(int x, int y) const {
    const MapViewState& v = client_->map.view;
    const int left = (x - v.column_origin) * v.square_width + 1;
    const int top = (y - v.row_origin) * v.square_height + 1;
    return map_->Image1->Picture.pixel(left + 1, top + v.square_height / 2) & 0xFFFFFF;
  }
  void Click(int x, int y, Qt::KeyboardModifiers mods = {}) {
    QTest::mouseMove(map_->Image1, Middle(x, y));
    QTest::mouseClick(map_->Image1, Qt::LeftButton, mods, Middle(x, y));
    QApplication::processEvents();
  }
  void Key(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = {}) {
    QTest::keyClick(w, key, mods);
    QApplication::processEvents();
  }
  // A key pressed while Ctrl is held down (and stays down).
  void CtrlKeypad(Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::KeypadModifier | Qt::ControlModifier);
    QApplication::sendEvent(form_->Edit1, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::KeypadModifier | Qt::ControlModifier);
    QApplication::sendEvent(form_->Edit1, &release);
    QApplication::processEvents();
  }

  TMapPanel* map_ = nullptr;
};

TEST_F(MapPanelTest, TheColumnDrawsTheMapBesideTheTerminal) {
  EXPECT_TRUE(map_->isVisible());
  EXPECT_GT(map_->x(), form_->Panel5->x() + form_->Panel5->width() - 10);
  EXPECT_EQ(map_->Label36->text(), ToQString("Карта:"_cp));
  EXPECT_EQ(map_->Image1->Picture.size(), map_->Image1->size());
  EXPECT_EQ(SquarePixel(0, 0), 0x00A000u);              // the default colour, green
  EXPECT_EQ(SquarePixel(1, 0), qRgb(0, 0xA0 - 3, 0) & 0xFFFFFF);
  EXPECT_EQ(SquarePixel(0, 1), 0u);
  // The filler beside a wide room: 0x7F007F in the map's blue-green-red.
  Cell(3)->width = 2;
  CenterOnCurrentCell(*client_);
  EXPECT_EQ(SquarePixel(3, 0), qRgb(0x7F, 0, 0x7F) & 0xFFFFFF);
  EXPECT_TRUE(map_->Progressbar1->isHidden());
  EXPECT_TRUE(map_->Panel11->isHidden());
}

TEST_F(MapPanelTest, LevelsAndScrollingWithCtrlAndTheKeypad) {
  EXPECT_EQ(map_->Label10->text(), "000");
  QWidget* edit = form_->Edit1;
  CtrlKeypad(Qt::Key_9);
  EXPECT_EQ(map_->Label10->text(), "001");
  CtrlKeypad(Qt::Key_3);
  CtrlKeypad(Qt::Key_3);
  EXPECT_EQ(map_->Label10->text(), "-01");
  const int columns = client_->map.view.column_origin;
  CtrlKeypad(Qt::Key_6);
  EXPECT_EQ(client_->map.view.column_origin, columns + 1);
  // Letting Ctrl go brings the view back to the player.
  QKeyEvent ctrl_up(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
  QApplication::sendEvent(edit, &ctrl_up);
  QApplication::processEvents();
  EXPECT_EQ(map_->Label10->text(), "000");
  EXPECT_EQ(client_->map.view.column_origin, columns);
}

TEST_F(MapPanelTest, TheMarkOfThePositionAndTheRoomUnderTheMouse) {
  const QImage located = map_->Image1->Picture.copy();
  // A click on the current room: lost, "?" instead of "P".
  Click(0, 0);
  EXPECT_EQ(client_->store.Var("map.located"), "0");
  EXPECT_NE(map_->Image1->Picture, located);
  bool red = false;
  const QPoint mid = Middle(0, 0);
  for (int y = mid.y() - 8; y < mid.y() + 8; ++y)
    for (int x = mid.x() - 8; x < mid.x() + 8; ++x) red |= qRed(map_->Image1->Picture.pixel(x, y)) > 200;
  EXPECT_TRUE(red);
  Click(0, 0);
  EXPECT_EQ(client_->store.Var("map.located"), "1");
  EXPECT_EQ(map_->Image1->Picture, located);
  // The room under the mouse: its distance, or its id with the editor open.
  QTest::mouseMove(map_->Image1, Middle(2, 0));
  EXPECT_EQ(map_->Label8->text(), "[2] C");
}

TEST_F(MapPanelTest, ShiftClickWalksAndCtrlShiftClickWritesTheWay) {
  Click(2, 0, Qt::ShiftModifier);
  const std::string nowhere = client_->output.SystemMessage("Соединение не установлено."_cp);
  EXPECT_EQ(host_.printed, "e\r\n" + nowhere + "e\r\n" + nowhere);
  EXPECT_EQ(client_->map.CurrentRoom(), Cell(1));
  form_->Edit1->setText("look;");
  Click(2, 0, Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_EQ(form_->Edit1->text(), "look;e;e;");
  EXPECT_EQ(form_->Edit1->cursorPosition(), form_->Edit1->text().size());
  // Not through a room flagged D.
  Cell(2)->flag = 'D';
  host_.printed.clear();
  Click(2, 0, Qt::ShiftModifier);
  EXPECT_EQ(host_.printed, "");
  // A plain click on another room makes it the current one.
  Click(2, 0);
  EXPECT_EQ(client_->map.CurrentRoom(), Cell(3));
}

TEST_F(MapPanelTest, TheRoomEditorLinksExitsByNumberOrByClick) {
  for (int i = 0; i < 6; ++i) Run("/set map.flat=;/nav e");  // rooms up to 7
  Current(1);
  QTest::mouseClick(map_->Button5, Qt::LeftButton);
  ASSERT_TRUE(map_->Panel11->isVisible());
  EXPECT_FALSE(map_->CheckBox3->isChecked());
  EXPECT_FALSE(client_->store.GroupOn("map"));
  EXPECT_EQ(map_->Label14->text(), "1");
  EXPECT_EQ(map_->Edit5->text(), "2");
  map_->Edit4->setFocus();
  map_->Edit4->selectAll();
  QTest::keyClicks(map_->Edit4, "99");
  Key(map_->Edit4, Qt::Key_Return);
  EXPECT_EQ(Cell(1)->exitIds[kWest], 0);
  EXPECT_EQ(map_->Edit4->text(), "0");
  EXPECT_TRUE(form_->Edit1->hasFocus());
  map_->Edit4->setFocus();
  map_->Edit4->selectAll();
  QTest::keyClicks(map_->Edit4, "7");
  Key(map_->Edit4, Qt::Key_Return);
  EXPECT_EQ(Cell(1)->exitIds[kWest], 7);
  EXPECT_EQ(Cell(1)->links[kWest], Cell(7));
  // A click on a room while the north field has the focus writes its id
  // there; leaving the field applies it.
  map_->Edit6->setFocus();
  Click(2, 0);
  EXPECT_EQ(map_->Edit6->text(), "3");
  EXPECT_EQ(client_->map.CurrentRoom(), Cell(1));
  form_->Edit1->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(Cell(1)->exitIds[kNorth], 3);
  // Passing through a field changes nothing.
  map_->Edit5->setFocus();
  form_->Edit1->setFocus();
  QApplication::processEvents();
  EXPECT_EQ(Cell(1)->links[kEast], Cell(2));
  // The name on Enter, a colour label, the flag as typed.
  map_->Edit10->setFocus();
  map_->Edit10->selectAll();
  QTest::keyClicks(map_->Edit10, "Gate");
  Key(map_->Edit10, Qt::Key_Return);
  EXPECT_EQ(Cell(1)->name, "Gate");
  QTest::mouseClick(map_->Label16, Qt::LeftButton);
  EXPECT_EQ(Cell(1)->colour, 0x0000FF);
  EXPECT_EQ(SquarePixel(0, 0), qRgb(255, 0, 0) & 0xFFFFFF);
  map_->Edit3->setFocus();
  QTest::keyClicks(map_->Edit3, "X");
  EXPECT_EQ(Cell(1)->flag, 'X');
  // Esc closes the editor and turns the map group on again.
  Key(map_->Edit3, Qt::Key_Escape);
  EXPECT_TRUE(map_->Panel11->isHidden());
  EXPECT_TRUE(client_->store.GroupOn("map"));
}

TEST_F(MapPanelTest, RecordingBoxZoomAndPanelSizes) {
  EXPECT_TRUE(map_->CheckBox1->isChecked());  // the default profile records
  QTest::mouseClick(map_->CheckBox1, Qt::LeftButton);
  EXPECT_EQ(client_->store.Var("map._autograb"), "off");
  EXPECT_NE(map_->CheckBox1->styleSheet().indexOf("#00ff00"), -1);
  Run("/set map.located=0");
  QTest::mouseClick(map_->CheckBox1, Qt::LeftButton);
  EXPECT_EQ(client_->store.Var("map._autograb"), "on");
  EXPECT_EQ(client_->store.Var("map.located"), "1");
  EXPECT_NE(map_->CheckBox1->styleSheet().indexOf("#ff0000"), -1);
  // A script switches recording off: the box follows.
  client_->ExecuteCommand("/set map._autograb=off", true);
  EXPECT_FALSE(map_->CheckBox1->isChecked());

  map_->TrackBar1->setValue(3);
  EXPECT_EQ(client_->store.Var("global._zoommap"), "3");
  EXPECT_EQ(client_->map.view.square_width, 24);
  EXPECT_EQ(client_->map.view.square_height, 25);
  EXPECT_EQ(SquarePixel(0, 0), 0x00A000u);
  // Ctrl with minus steps the slider back.
  CtrlKeypad(Qt::Key_Minus);
  EXPECT_EQ(map_->TrackBar1->value(), 2);
  // A profile's sizes.
  Run("/set global._mapwidth=300");
  QApplication::processEvents();
  EXPECT_EQ(map_->width(), 300);
}

TEST_F(MapPanelTest, ATransitionOfTheRoomRunsFromItsList) {
  EXPECT_TRUE(map_->ListBox2->isHidden());
  Cell(1)->transitions = "3:look,smile;town@5:enter";
  CenterOnCurrentCell(*client_);
  ASSERT_TRUE(map_->ListBox2->isVisible());
  ASSERT_EQ(map_->ListBox2->count(), 2);
  EXPECT_EQ(map_->ListBox2->currentRow(), 0);
  QListWidgetItem* first = map_->ListBox2->item(0);
  QTest::mouseClick(map_->ListBox2->viewport(), Qt::LeftButton, {},
                    map_->ListBox2->visualItemRect(first).center());
  EXPECT_NE(host_.printed.find("look\r\n"), std::string::npos);
  EXPECT_NE(host_.printed.find("smile\r\n"), std::string::npos);
  EXPECT_EQ(client_->map.CurrentRoom(), Cell(3));
}

TEST_F(MapPanelTest, ThePopUpMenuSavesAndLoadsAndTheGaugeFollowsTheLoad) {
  Run("/set map._directory=maps");
  host_.answer = (dir_ / "walk.tmm").string();
  map_->N5->trigger();
  EXPECT_EQ(host_.asked, "save maps");
  EXPECT_EQ(client_->store.Var("map._file"), host_.answer);
  ASSERT_TRUE(fs::exists(dir_ / "walk.tmm"));
  Run("/newmap");
  host_.answer = (dir_ / "walk.tmm").string();
  map_->N6->trigger();
  EXPECT_EQ(host_.asked, "open maps");
  EXPECT_EQ(client_->map.CellList.Count(), 3);
  // The gauge ran to the last room and is hidden again.
  EXPECT_EQ(map_->Progressbar1->maximum(), 2);
  EXPECT_TRUE(map_->Progressbar1->isHidden());
}

TEST_F(MapPanelTest, LeavingThePictureForgetsTheRoomAndDraggingTheSplittersStoresTheSizes) {
  QTest::mouseMove(map_->Image1, Middle(1, 0));
  EXPECT_EQ(map_->Label8->text(), "[1] B");
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(map_->Image1, &leave);
  EXPECT_EQ(map_->Label8->text(), "");
  EXPECT_EQ(client_->map.view.hovered, nullptr);

  QSplitterHandle* handle = form_->Splitter2->handle(1);
  const QPoint grip(handle->width() / 2, handle->height() / 2);
  const int before = map_->width();
  QTest::mousePress(handle, Qt::LeftButton, {}, grip);
  QTest::mouseMove(handle, grip - QPoint(40, 0));
  QTest::mouseRelease(handle, Qt::LeftButton, {}, grip - QPoint(40, 0));
  QApplication::processEvents();
  EXPECT_GT(map_->width(), before);
  EXPECT_EQ(client_->store.Var("global._mapwidth"), std::to_string(map_->width()));
}

}  // namespace
}  // namespace tarnel
