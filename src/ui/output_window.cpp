#include "ui/output_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "interp/client.h"
#include "platform/qt_host.h"
#include "text/numbers.h"

namespace tarnel {

TForm1::TForm1(Client& client, const std::string& title, const QFont& font)
    : QWidget(nullptr, Qt::Window), client_(client), title_(title) {
  setObjectName("TForm1");
  setWindowTitle(ToQString(title));
  setAttribute(Qt::WA_DeleteOnClose, false);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* row = new QHBoxLayout;
  row->setSpacing(0);
  EmulVT1 = new TEmulVT(this);
  EmulVT1->setObjectName("EmulVT1");
  EmulVT1->SetBackRows(200);
  EmulVT1->SetBackColor(0);
  EmulVT1->SetXlat(true);
  EmulVT1->SetAutoRepaint(true);
  EmulVT1->SetTerminalFont(font);
  EmulVT1->setFocusPolicy(Qt::NoFocus);
  ScrollBar1 = new QScrollBar(Qt::Vertical, this);
  ScrollBar1->setObjectName("ScrollBar1");
  ScrollBar1->setRange(-199, 0);
  ScrollBar1->setValue(0);
  ScrollBar1->setFocusPolicy(Qt::NoFocus);
  row->addWidget(EmulVT1, 1);
  row->addWidget(ScrollBar1);
  column->addLayout(row, 1);
  Panel4 = new QWidget(this);
  Panel4->setObjectName("Panel4");
  auto* line = new QHBoxLayout(Panel4);
  line->setContentsMargins(0, 0, 0, 0);
  CommandLine = new QLineEdit(Panel4);
  line->addWidget(CommandLine);
  Panel4->hide();
  column->addWidget(Panel4);
  connect(ScrollBar1, &QScrollBar::valueChanged, this, [this](int v) {
    EmulVT1->SetFirstShownRow(v);
  });
  resize(480, 300);
  Fit();
}

void TForm1::Write(std::string_view text) {
  EmulVT1->ShowText(text);
  EmulVT1->AfterWrite();
  EmulVT1->update();
}

void TForm1::ClearTerminal() {
  EmulVT1->Screen().BlankScreen();
  EmulVT1->Screen().CursorRow = EmulVT1->Rows();
  EmulVT1->Screen().CursorCol = 0;
  ScrollBar1->setValue(0);
  EmulVT1->update();
}

void TForm1::Fit() {
  const int w = EmulVT1->width() > 0 ? EmulVT1->width() : width() - ScrollBar1->sizeHint().width();
  const int h = EmulVT1->height() > 0 ? EmulVT1->height() : height();
  EmulVT1->SetRows(std::max(1, (h - 4) / std::max(1, EmulVT1->LineHeight())));
  EmulVT1->SetCols(std::max(1, (w - 4) / std::max(1, EmulVT1->CharWidth()) - 1));
  EmulVT1->Screen().WrapAtMargin = true;
}

void TForm1::StoreGeometry() {
  if (restoring_ || client_.ShuttingDown() || !isVisible()) return;
  const std::string prefix = "/set windows." + title_;
  const QRect g = geometry();
  client_.ExecuteCommand(prefix + "._top=" + std::to_string(g.top()) + ";" + prefix + "._left=" +
                             std::to_string(g.left()) + ";" + prefix + "._width=" + std::to_string(g.width()) +
                             ";" + prefix + "._height=" + std::to_string(g.height()),
                         false);
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The place it had, as far as the variables know it.
  restoring_ = true;
  QRect g = geometry();
  const std::string prefix = "windows." + title_;
  auto read = [this, &prefix](const char* key, int fallback) {
    const auto v = text::ReadInteger(client_.store.Var(prefix + key));
    return v && *v > -100000 && *v < 100000 ? static_cast<int>(*v) : fallback;
  };
  g.moveTop(read("._top", g.top()));
  g.moveLeft(read("._left", g.left()));
  g.setWidth(std::max(40, read("._width", g.width())));
  g.setHeight(std::max(40, read("._height", g.height())));
  setGeometry(g);
  restoring_ = false;
  if (FocusCommandLine) FocusCommandLine();
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Fit();
  StoreGeometry();
}

void TForm1::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  StoreGeometry();
}

void TForm1::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && !isActiveWindow()) StoreGeometry();
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
    return;
  }
  // The frame only hides it; "/window … close" frees it.
  event->ignore();
  hide();
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  if (ForwardKey) ForwardKey(*event);
}

}  // namespace tarnel
