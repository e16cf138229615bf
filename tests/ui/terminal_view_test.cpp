// The terminal view on the offscreen platform: fitting, selection and copy,
// word picks.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <filesystem>

#include "app/gui_host.h"
#include "app/main_form.h"
#include "platform/qt_host.h"
#include "text/cp1251.h"
#include "ui/emul_vt.h"

namespace tarnel {
namespace {

using namespace literals;
namespace fs = std::filesystem;

class TerminalViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarnel-vt-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    qputenv("TARNEL_HOME", dir_.string().c_str());
    old_cwd_ = fs::current_path();
    fs::current_path(dir_);
    client_ = std::make_unique<Client>(host_);
    host_.Attach(client_.get());
    form_ = std::make_unique<TMainForm>(*client_, host_);
    host_.SetForm(form_.get());
    form_->FormCreate({});
    form_->resize(900, 700);
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
    client_->store.Variables().SetValue("global._logfile", "");
  }
  void TearDown() override {
    form_.reset();
    client_.reset();
    fs::current_path(old_cwd_);
    fs::remove_all(dir_);
  }
  // The centre of a cell of the main terminal.
  QPoint Cell(int row, int col) {
    TEmulVT* vt = form_->EmulVT1;
    return QPoint(col * vt->CharWidth() + 1 + vt->CharWidth() / 2,
                  (row - vt->FirstShownRow()) * vt->LineHeight() + 1 + vt->LineHeight() / 2);
  }
  // Puts a text on a row of the main screen.
  void Row(int row, std::string_view text) {
    TScreen& s = client_->main_screen;
    TLine* line = s.RowLine(row);
    line->Clear(7);
    std::copy(text.begin(), text.end(), line->Chars);
  }

  GuiHost host_;
  std::unique_ptr<Client> client_;
  std::unique_ptr<TMainForm> form_;
  fs::path dir_, old_cwd_;
};

TEST_F(TerminalViewTest, FittingFollowsThePanelSize) {
  form_->Panel5->resize(484, 454);
  QApplication::processEvents();
  EXPECT_EQ(form_->EmulVT1->Cols(), 59);
  EXPECT_EQ(form_->EmulVT1->Rows(), 30);
  EXPECT_EQ(client_->main_screen.CursorRow, 30);
  EXPECT_TRUE(client_->main_screen.WrapAtMargin);
  form_->Panel17->resize(484 + form_->ScrollBar1->sizeHint().width(), 454);
  form_->FitHistoryView();
  EXPECT_EQ(form_->EmulVT2->Rows(), 29);
  EXPECT_EQ(form_->EmulVT2->Cols(), 59);
}

TEST_F(TerminalViewTest, DraggingEitherWayCopiesTheSameText) {
  form_->Panel5->resize(484, 454);
  QApplication::processEvents();
  Row(2, "first row   ");
  Row(3, "second row");
  Row(4, "third row here");
  TEmulVT* vt = form_->EmulVT1;
  QTest::mousePress(vt, Qt::LeftButton, Qt::NoModifier, Cell(2, 6));
  QTest::mouseMove(vt, Cell(3, 3));
  QTest::mouseMove(vt, Cell(4, 4));
  QTest::mouseRelease(vt, Qt::LeftButton, Qt::NoModifier, Cell(4, 4));
  const QString forward = QApplication::clipboard()->text();
  EXPECT_EQ(forward, "row\r\nsecond row\r\nthird");
  EXPECT_FALSE(vt->HasSelection());

  QApplication::clipboard()->clear();
  QTest::mousePress(vt, Qt::LeftButton, Qt::NoModifier, Cell(4, 4));
  QTest::mouseMove(vt, Cell(3, 1));
  QTest::mouseMove(vt, Cell(2, 6));
  QTest::mouseRelease(vt, Qt::LeftButton, Qt::NoModifier, Cell(2, 6));
  EXPECT_EQ(QApplication::clipboard()->text(), forward);
}

TEST_F(TerminalViewTest, WholeRowsCopyWithoutTrailingBlanks) {
  form_->Panel5->resize(484, 454);
  QApplication::processEvents();
  Row(5, "aaa");
  Row(6, "bbb   ");
  Row(7, "ccc");
  TEmulVT* vt = form_->EmulVT1;
  QTest::mousePress(vt, Qt::LeftButton, Qt::NoModifier, Cell(5, 0));
  QTest::mouseMove(vt, Cell(7, 58));
  QTest::mouseRelease(vt, Qt::LeftButton, Qt::NoModifier, Cell(7, 58));
  EXPECT_EQ(QApplication::clipboard()->text(), "aaa\r\nbbb\r\nccc");
}

TEST_F(TerminalViewTest, APlainClickLeavesTheClipboardAlone) {
  Row(1, "xyz");
  QApplication::clipboard()->setText("keep me");
  QTest::mouseClick(form_->EmulVT1, Qt::LeftButton, Qt::NoModifier, Cell(1, 1));
  EXPECT_EQ(QApplication::clipboard()->text(), "keep me");
}

TEST_F(TerminalViewTest, TheSelectionFollowsItsTextWhenRowsScroll) {
  form_->Panel5->resize(484, 454);
  QApplication::processEvents();
  TEmulVT* vt = form_->EmulVT1;
  vt->SelStartRow = vt->SelEndRow = 10;
  vt->SelStartCol = 0;
  vt->SelEndCol = 3;
  client_->PrintText("1\r\n2\r\n3\r\n4\r\n5\r\n");
  EXPECT_EQ(vt->SelStartRow, 5);
  EXPECT_EQ(vt->SelEndRow, 5);
}

TEST_F(TerminalViewTest, ModifierClicksPickWordsAndPhrases) {
  form_->Panel5->resize(484, 454);
  QApplication::processEvents();
  client_->ExecuteCommand("/set macro stats._stats={/echo picked[%0*]}", false);
  // Two Cyrillic words joined by one space, two spaces around the pair.
  Row(3, std::string("ab  "_cp) + std::string("меч света"_cp) + "  cd");
  TEmulVT* vt = form_->EmulVT1;
  std::string printed;
  struct Capture : GuiHost {};
  const std::size_t second_word = 4 + 4;  // "ab  " and "меч "
  client_->main_screen.ScrollCount = 0;
  QTest::mouseClick(vt, Qt::LeftButton, Qt::ControlModifier, Cell(3, static_cast<int>(second_word) + 1));
  const TLine* last = nullptr;
  (void)last;
  // The echo of the macro lands in the screen.
  std::string screen_text;
  for (int r = 0; r < client_->main_screen.ScreenRows(); ++r)
    screen_text.append(client_->main_screen.RowLine(r)->Chars, 59).append("\n");
  EXPECT_NE(screen_text.find(std::string("picked[меч света]"_cp)), std::string::npos);

  Row(3, std::string("ab  "_cp) + std::string("меч света"_cp) + "  cd");
  QTest::mouseClick(vt, Qt::LeftButton, Qt::AltModifier, Cell(3, static_cast<int>(second_word) + 1));
  screen_text.clear();
  for (int r = 0; r < client_->main_screen.ScreenRows(); ++r)
    screen_text.append(client_->main_screen.RowLine(r)->Chars, 59).append("\n");
  EXPECT_NE(screen_text.find(std::string("picked[света]"_cp)), std::string::npos);

  // Shift puts the word into the command line at the caret.
  form_->Edit1->setText("say ");
  form_->Edit1->setCursorPosition(4);
  Row(3, std::string("ab  "_cp) + std::string("меч света"_cp) + "  cd");
  QTest::mouseClick(vt, Qt::LeftButton, Qt::ShiftModifier, Cell(3, 1));
  EXPECT_EQ(form_->Edit1->text(), "say ab ");
}

TEST_F(TerminalViewTest, HoveringAKnownItemWithCtrlShowsItsStats) {
  form_->Panel5->resize(484, 454);
  QApplication::processEvents();
  client_->ExecuteCommand(std::string("/addstats меч,Тип:ОРУЖИЕ,Вес:5"_cp), false);
  Row(4, std::string("  меч  "_cp));
  TEmulVT* vt = form_->EmulVT1;
  QTest::mouseMove(vt, Cell(4, 3));
  QMouseEvent move(QEvent::MouseMove, QPointF(Cell(4, 3)), QPointF(vt->mapToGlobal(Cell(4, 3))),
                   Qt::NoButton, Qt::NoButton, Qt::ControlModifier);
  QApplication::sendEvent(vt, &move);
  ASSERT_TRUE(form_->StatsPopup->isVisible());
  EXPECT_EQ(form_->StatsPopup->text(), QString::fromUtf8("меч\nТип: ОРУЖИЕ\nВес: 5"));
  // Releasing Ctrl hides it.
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
  QApplication::sendEvent(form_->Edit1, &release);
  EXPECT_FALSE(form_->StatsPopup->isVisible());
}

// Lit pixels of a cell of the main terminal, row by row from its top.
std::vector<int> LitRows(const QImage& image, const TEmulVT& vt, int row, int col) {
  std::vector<int> lit;
  const int x0 = vt.ColumnX(col) + 1, x1 = vt.ColumnX(col + 1) + 1;
  for (int y = vt.RowY(row) + 1; y < vt.RowY(row + 1) + 1; ++y) {
    int n = 0;
    for (int x = x0; x < x1; ++x) n += qGray(image.pixel(x, y)) > 60 ? 1 : 0;
    lit.push_back(n);
  }
  return lit;
}

TEST_F(TerminalViewTest, TheMarksAboveCapitalsAreDrawnWhole) {
  form_->Panel5->resize(484, 454);
  QApplication::processEvents();
  Row(2, "ЕЁЙИ"_cp);
  TEmulVT* vt = form_->EmulVT1;
  vt->update();
  const QImage image = vt->grab().toImage();
  const std::vector<int> e = LitRows(image, *vt, 2, 0), yo = LitRows(image, *vt, 2, 1),
                         short_i = LitRows(image, *vt, 2, 2), i = LitRows(image, *vt, 2, 3);
  // The letters are drawn alike where they are alike, and the marks stand
  // above the body of "Е" and "И", inside the cell.
  auto first_lit = [](const std::vector<int>& rows) {
    for (std::size_t y = 0; y < rows.size(); ++y)
      if (rows[y] > 0) return static_cast<int>(y);
    return -1;
  };
  ASSERT_GT(first_lit(e), 0);
  ASSERT_GT(first_lit(i), 0);
  EXPECT_LT(first_lit(yo), first_lit(e));
  EXPECT_LT(first_lit(short_i), first_lit(i));
  int marks = 0, breve = 0;
  for (int y = 0; y < first_lit(e); ++y) marks += yo[static_cast<std::size_t>(y)];
  for (int y = 0; y < first_lit(i); ++y) breve += short_i[static_cast<std::size_t>(y)];
  EXPECT_GE(marks, 2);
  EXPECT_GE(breve, 2);
  // The tail of "у" below the baseline is not cut either.
  Row(3, "уo"_cp);
  vt->update();
  const QImage image2 = vt->grab().toImage();
  const std::vector<int> u = LitRows(image2, *vt, 3, 0), o = LitRows(image2, *vt, 3, 1);
  int last_o = 0, last_u = 0;
  for (std::size_t y = 0; y < u.size(); ++y) {
    if (o[y] > 0) last_o = static_cast<int>(y);
    if (u[y] > 0) last_u = static_cast<int>(y);
  }
  EXPECT_GT(last_u, last_o + 1);
}

}  // namespace
}  // namespace tarnel
