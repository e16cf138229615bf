#include "ui/query_panel.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>
#include <fstream>

#include "interp/client.h"
#include "panels/query_model.h"
#include "platform/qt_host.h"
#include "text/cp1251.h"
#include "text/paths.h"

namespace tarnel {

using namespace literals;

TQueryPanel::TQueryPanel(Client& client, QWidget* strip_parent, QWidget* parent)
    : QWidget(parent), client_(client) {
  setObjectName("Panel15");
  // The panels have their own background: the window around them is black.
  setAutoFillBackground(true);
  setPalette(QApplication::palette());
  Panel14 = new QWidget(strip_parent);
  Panel14->setObjectName("Panel14");
  Panel14->setAutoFillBackground(true);
  Panel14->setPalette(QApplication::palette());
  auto* strip = new QHBoxLayout(Panel14);
  strip->setContentsMargins(0, 0, 0, 0);
  TabControl1 = new QTabBar(Panel14);
  TabControl1->setObjectName("TabControl1");
  TabControl1->setFocusPolicy(Qt::NoFocus);
  TabControl1->setExpanding(false);
  // A tab bar always has a current tab; while no query is chosen, it looks
  // like the others.
  TabControl1->setStyleSheet(
      "QTabBar::tab { padding: 2px 10px; border: 1px solid #8c8c8c; border-bottom: none;"
      " background: #d6d6d6; color: black; margin-right: 1px; }"
      "QTabBar::tab:selected { background: #fafafa; }"
      "QTabBar[noneSelected=\"true\"]::tab:selected { background: #d6d6d6; }");
  strip->addWidget(TabControl1);
  strip->addStretch();
  Panel14->hide();

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(1);
  Memo2 = new QPlainTextEdit(this);
  Memo2->setObjectName("Memo2");
  Memo2->setReadOnly(true);
  Memo2->setContextMenuPolicy(Qt::CustomContextMenu);
  column->addWidget(Memo2, 1);
  Panel16 = new QWidget(this);
  Panel16->setObjectName("Panel16");
  auto* line = new QHBoxLayout(Panel16);
  line->setContentsMargins(0, 0, 0, 0);
  Edit15 = new QLineEdit(Panel16);
  Edit15->setObjectName("Edit15");
  CheckBox4 = new QCheckBox(ToQString("Скрывать"_cp), Panel16);
  CheckBox4->setObjectName("CheckBox4");
  line->addWidget(Edit15, 1);
  line->addWidget(CheckBox4);
  column->addWidget(Panel16);
  Memo3 = new QPlainTextEdit(this);
  Memo3->setObjectName("Memo3");
  Memo3->setReadOnly(true);
  Memo3->setFocusPolicy(Qt::NoFocus);
  Memo3->setMaximumHeight(48);
  column->addWidget(Memo3);
  hide();

  PopupMenu2 = new QMenu(this);
  N8 = PopupMenu2->addAction(ToQString("Сохранить в файл..."_cp), this, [this] { SaveMessages(); });
  N20 = PopupMenu2->addAction(ToQString("Свернуть окно"_cp), this, [this] {
    if (FocusCommandLine) FocusCommandLine();
  });
  N24 = PopupMenu2->addAction(ToQString("Закрыть окно"_cp), this, [this] { RunForSelected("/closequery "); });
  N12 = PopupMenu2->addAction(ToQString("Игнорировать"_cp), this, [this] { RunForSelected("/ignore "); });
  connect(Memo2, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { PopupMenu2->popup(Memo2->mapToGlobal(p)); });

  // Every click on a tab counts, the chosen one's included.
  connect(TabControl1, &QTabBar::tabBarClicked, this, &TQueryPanel::TabControl1Change);
  connect(CheckBox4, &QCheckBox::clicked, this, [this] {
    if (FocusCommandLine) FocusCommandLine();
  });
  Edit15->installEventFilter(this);
  Memo2->installEventFilter(this);
  Memo2->viewport()->installEventFilter(this);
}

void TQueryPanel::ShowModel() {
  const QueryModel& q = client_.queries;
  {
    const QSignalBlocker block(TabControl1);
    while (TabControl1->count() > static_cast<int>(q.Tabs.size())) TabControl1->removeTab(TabControl1->count() - 1);
    for (std::size_t i = 0; i < q.Tabs.size(); ++i) {
      const QString text = ToQString(q.Tabs[i]);
      if (static_cast<int>(i) < TabControl1->count())
        TabControl1->setTabText(static_cast<int>(i), text);
      else
        TabControl1->addTab(text);
    }
    if (q.Selected >= 0) TabControl1->setCurrentIndex(q.Selected);
    const bool none = q.Selected < 0;
    if (TabControl1->property("noneSelected").toBool() != none) {
      TabControl1->setProperty("noneSelected", none);
      TabControl1->style()->unpolish(TabControl1);
      TabControl1->style()->polish(TabControl1);
      TabControl1->update();
    }
  }
  Panel14->setVisible(!q.Tabs.empty());
  // New messages of the shown query are added at the end; anything else
  // fills the messages anew.
  const bool grown = q.Memo.size() >= shown_memo_.size() &&
                     std::equal(shown_memo_.begin(), shown_memo_.end(), q.Memo.begin());
  if (!grown) {
    Memo2->clear();
    shown_memo_.clear();
  }
  for (std::size_t i = shown_memo_.size(); i < q.Memo.size(); ++i) Memo2->appendPlainText(ToQString(q.Memo[i]));
  shown_memo_ = q.Memo;
  if (q.History.size() < shown_history_) {
    Memo3->clear();
    shown_history_ = 0;
  }
  for (; shown_history_ < q.History.size(); ++shown_history_) Memo3->appendPlainText(ToQString(q.History[shown_history_]));
  const bool visible = q.PanelVisible && q.Selected >= 0;
  if (visible != isVisible()) {
    setVisible(visible);
    if (LayOut) LayOut();
  }
}

void TQueryPanel::TabControl1Change(int index) {
  if (TabChanging) TabChanging();
  const bool selected = client_.queries.SelectTab(index);
  ShowModel();
  if (!selected) {
    if (FocusCommandLine) FocusCommandLine();
    return;
  }
  show();
  if (LayOut) LayOut();
  Edit15->setFocus();
  Memo2->moveCursor(QTextCursor::End);
  Memo2->ensureCursorVisible();
}

void TQueryPanel::CommandLineFocused() {
  client_.queries.CommandLineFocused(CheckBox4->isChecked());
  ShowModel();
}

void TQueryPanel::ClosePanel() {
  client_.queries.CommandLineFocused(true);
  ShowModel();
}

void TQueryPanel::Edit15Enter() {
  const std::string text = FromQString(Edit15->text());
  Edit15->clear();
  EnterQueryInput(client_, text);
  ShowModel();
}

void TQueryPanel::RunForSelected(const char* command) {
  const std::string title = client_.queries.SelectedTitle();
  if (title.empty()) {
    if (FocusCommandLine) FocusCommandLine();
    return;
  }
  client_.ExecuteCommand(command + title, false);
}

void TQueryPanel::SaveMessages() {
  const QString name = QFileDialog::getSaveFileName(this, QString(), QString(), "*.txt");
  if (name.isEmpty()) return;
  // Errors are not reported: the messages stay where they are.
  std::ofstream out(text::NativePath(text::FromNativePath(name.toStdString())), std::ios::binary);
  for (const std::string& line : client_.queries.Memo) out << line << "\r\n";
}

bool TQueryPanel::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::FocusIn && (watched == Edit15 || watched == Memo2)) {
    client_.queries.InputFocused();
    ShowModel();
    return false;
  }
  if (watched == Edit15 && type == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(event);
    switch (k->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (client_.queries.Selected < 0) {
          Edit15->clear();
          if (FocusCommandLine) FocusCommandLine();
        } else {
          Edit15Enter();
        }
        return true;
      case Qt::Key_Escape:
        if (FocusCommandLine) FocusCommandLine();
        return true;
      case Qt::Key_Up:
        Edit15->setText(ToQString(client_.queries.HistoryUp()));
        return true;
      case Qt::Key_Down:
        Edit15->setText(ToQString(client_.queries.HistoryDown()));
        return true;
      default:
        break;
    }
    const bool paste = (k->key() == Qt::Key_Insert && (k->modifiers() & Qt::ShiftModifier)) ||
                       (k->key() == Qt::Key_V && (k->modifiers() & Qt::ControlModifier));
    if (paste) {
      // A pasted block becomes one line of commands.
      QClipboard* cb = QApplication::clipboard();
      if (!cb->text().isEmpty()) {
        QString t = cb->text();
        t.remove(QChar('\n'));
        t.replace(QChar('\r'), QChar(';'));
        cb->setText(t);
      }
    }
    return false;
  }
  if (watched == Memo2 && type == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(event);
    if (k->key() == Qt::Key_Escape) {
      if (FocusCommandLine) FocusCommandLine();
      if (LayOut) LayOut();
      return true;
    }
    // Typing in the messages types into the input line.
    Edit15->setFocus();
    QKeyEvent copy(k->type(), k->key(), k->modifiers(), k->text(), k->isAutoRepeat(), k->count());
    QApplication::sendEvent(Edit15, &copy);
    return true;
  }
  if (watched == Memo2->viewport() && type == QEvent::MouseButtonRelease && Memo2->textCursor().hasSelection()) {
    Memo2->copy();
    QTextCursor c = Memo2->textCursor();
    c.clearSelection();
    Memo2->setTextCursor(c);
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tarnel
