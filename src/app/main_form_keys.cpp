// Keys of the main window and of the command line.

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>

#include "app/gui_host.h"
#include "app/main_form.h"
#include "input/completion.h"
#include "input/key_names.h"
#include "platform/qt_host.h"
#include "text/numbers.h"
#include "ui/qt_keys.h"

namespace tarnel {

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::FocusIn && watched == Edit1) Panel15->CommandLineFocused();
  if (type == QEvent::Resize) {
    if (watched == Panel5) FitTerminal();
    if (watched == Panel17) FitHistoryView();
    return false;
  }
  auto* widget = qobject_cast<QWidget*>(watched);
  const bool ours = widget != nullptr && widget->window() == this;
  if (type == QEvent::KeyPress && ours) {
    auto* k = static_cast<QKeyEvent*>(event);
    if (watched == Edit2) {
      if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
        Edit2Enter();
        return true;
      }
      if (k->key() == Qt::Key_Escape) {
        Edit1->setFocus();
        ScrollBar1->setValue(1);
        return true;
      }
    }
    // The window sees every key first (but a hotkey name being captured);
    // the command line handles the rest itself.
    if (Panel9->CapturesKeys(watched)) return false;
    if (FormKeyDown(*k)) return true;
    return false;
  }
  if (type == QEvent::KeyRelease && ours) FormKeyUp(*static_cast<QKeyEvent*>(event));
  if (type == QEvent::FocusOut && watched == Edit2) {
    // Leaving the emulator line for anything but its "L" button closes it.
    QWidget* next = QApplication::focusWidget();
    if (next != Button9 && Panel8->isVisible() && next != nullptr) {
      Panel8->hide();
      Edit1->setFocus();
      FitTerminal();
    }
  }
  return false;
}

bool TMainForm::FormKeyDown(QKeyEvent& e) {
  int code = VirtualKeyOf(e);
  const Qt::KeyboardModifiers m = e.modifiers();
  const bool ctrl = m & Qt::ControlModifier;
  const bool alt = m & Qt::AltModifier;
  const bool shift = m & Qt::ShiftModifier;
  bool consumed = false;

  switch (code) {
    case vk::kBack:
      if (alt) {
        if (Map.TakeBack) Map.TakeBack();
        consumed = true;
      }
      break;
    case vk::kReturn:
      if (alt && activated_ && client_.Ready()) {
        if (isFullScreen())
          showMaximized();
        else
          showFullScreen();
        Edit1->setFocus();
        consumed = true;
      }
      break;
    case vk::kUp:
      if (shift) {
        CloseQueryPanel();
        const int pos = ScrollBar1->value();
        SetHistoryPosition(pos <= 0 ? pos - std::min(1, pos - ScrollBar1->minimum()) : 0);
        FitTerminal();
        consumed = true;
      }
      break;
    case vk::kDown:
      if (shift) {
        const int pos = ScrollBar1->value();
        SetHistoryPosition(pos + std::min(1, 1 - pos));
        FitTerminal();
        consumed = true;
      }
      break;
    case vk::kNumpad2: case vk::kNumpad8: case vk::kNumpad4: case vk::kNumpad6:
    case vk::kNumpad9: case vk::kNumpad3: case vk::kAdd: case vk::kSubtract:
      // Ctrl with the keypad moves and zooms the map view.
      if (ctrl) {
        auto call = [](const std::function<void(int)>& f, int step) {
          if (f) f(step);
        };
        if (code == vk::kNumpad2) call(Map.MoveRows, 1);
        if (code == vk::kNumpad8) call(Map.MoveRows, -1);
        if (code == vk::kNumpad4) call(Map.MoveColumns, -1);
        if (code == vk::kNumpad6) call(Map.MoveColumns, 1);
        if (code == vk::kNumpad9) call(Map.ChangeLevel, 1);
        if (code == vk::kNumpad3) call(Map.ChangeLevel, -1);
        if (code == vk::kAdd) call(Map.Zoom, 1);
        if (code == vk::kSubtract) call(Map.Zoom, -1);
        consumed = true;
      }
      break;
    default:
      break;
  }
  if (consumed) code = 0;

  QWidget* focus = QApplication::focusWidget();
  // Typing in an editor never fires hotkeys.
  const bool in_editor =
      focus != nullptr && (Panel9->isAncestorOf(focus) || Panel1->Panel11->isAncestorOf(focus));
  if (!consumed && !in_editor) {
    const std::string name = KeyName(KeyNames, code, ctrl, alt, shift);
    if (!name.empty()) {
      const std::string command = client_.store.FindEnabled(EntryKind::Hotkeys, name);
      if (!command.empty()) {
        consumed = true;
        client_.interp.RaiseDepth();
        client_.ExecuteCommand(command, true);
        client_.interp.LowerDepth();
        Edit1->PendingChar = 0;
        Edit1->PendingAllowed = false;
      }
    }
  }
  // F10 without a hotkey of its own opens the menu bar, whose menus the
  // arrow keys then walk.
  if (!consumed && code == vk::kF10 && !ctrl && !alt && !shift) {
    OpenMenuBar();
    consumed = true;
  }
  if (Edit1->PendingChar != 0) Edit1->InsertPending();
  return consumed;
}

void TMainForm::OpenMenuBar() {
  const QList<QAction*> menus = menuBar()->actions();
  if (!menus.isEmpty()) menuBar()->setActiveAction(menus.first());
}

bool TMainForm::FormKeyPress(QKeyEvent& e) {
  switch (e.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (e.modifiers() & Qt::AltModifier) return true;
      if (focusWidget() == Edit1) EnterLine();
      return true;
    case Qt::Key_Escape:
      if (focusWidget() == Edit1) Edit1->clear();
      return true;
    default:
      return false;
  }
}

void TMainForm::FormKeyUp(QKeyEvent& e) {
  const Qt::KeyboardModifiers m = e.modifiers();
  if (e.key() == Qt::Key_Control && Map.Centre) Map.Centre();
  // The state after the release: the released modifier no longer counts
  // (platforms differ in whether the event still carries it).
  const bool ctrl = (m & Qt::ControlModifier) && e.key() != Qt::Key_Control;
  const bool alt = (m & Qt::AltModifier) && e.key() != Qt::Key_Alt;
  const bool shift = (m & Qt::ShiftModifier) && e.key() != Qt::Key_Shift;
  if ((!ctrl && !alt) || shift) HideStatsPopup();
}

void TMainForm::EnterLine() {
  const std::string t = FromQString(Edit1->text());
  Edit1->clear();
  history.Entered(t, !client_.connection.ServerEchoes());
  client_.ExecuteCommand(t, true);
}

bool TMainForm::Edit1KeyDown(QKeyEvent& e) {
  host_.StopTimer(TimerId::Completion);
  const bool shift = e.modifiers() & Qt::ShiftModifier;
  switch (e.key()) {
    case Qt::Key_Escape:
      Edit1->clear();
      history.Changed("");
      ScrollBar1->setValue(1);
      return true;
    case Qt::Key_Up:
      if (!shift) {
        if (auto t = history.Back()) {
          navigating_history_ = true;
          Edit1->setText(ToQString(*t));
          Edit1->setCursorPosition(static_cast<int>(Edit1->text().size()));
          navigating_history_ = false;
        }
      }
      return true;
    case Qt::Key_Down:
      if (!shift) {
        if (auto t = history.Forward()) {
          navigating_history_ = true;
          Edit1->setText(ToQString(*t));
          Edit1->setCursorPosition(static_cast<int>(Edit1->text().size()));
          navigating_history_ = false;
        } else {
          Edit1->clear();
        }
      }
      return true;
    case Qt::Key_PageUp: {
      CloseQueryPanel();
      const int pos = ScrollBar1->value();
      if (pos <= 0)
        SetHistoryPosition(pos - std::min(pos - ScrollBar1->minimum(), EmulVT2->Rows() - 1));
      else
        SetHistoryPosition(0);
      FitTerminal();
      return true;
    }
    case Qt::Key_PageDown: {
      const int pos = ScrollBar1->value();
      SetHistoryPosition(pos + std::min(1 - pos, EmulVT2->Rows() - 1));
      FitTerminal();
      return true;
    }
    default:
      return false;
  }
}

void TMainForm::Edit1Change(const QString& text) {
  if (navigating_history_ || completing_) return;
  history.Changed(FromQString(text));
  const std::string delay = client_.store.Var("global._argdelay");
  if (const auto ms = text::IntegerOr(delay, 0); ms > 0 && ms < 3600000) completion_interval_ = static_cast<int>(ms);
  host_.StartTimer(TimerId::Completion, completion_interval_);
}

// The pause after typing is over: the last word is completed, and exactly
// what was added is selected, so the next key typed replaces it.
void TMainForm::Timer2Timer() {
  const QString text = Edit1->text();
  const int end = Edit1->hasSelectedText() ? Edit1->selectionEnd() : Edit1->cursorPosition();
  // The caret elsewhere: the timer goes on until it stands at the end.
  if (end != text.size()) return;
  host_.StopTimer(TimerId::Completion);
  const std::optional<std::string> added = CompletionFor(client_, FromQString(text));
  if (!added || added->empty()) return;
  completing_ = true;
  const QString more = ToQString(*added);
  Edit1->setText(text + more);
  Edit1->setSelection(static_cast<int>(text.size()), static_cast<int>(more.size()));
  completing_ = false;
}

void TMainForm::CleanClipboard() {
  QClipboard* cb = QApplication::clipboard();
  QString t = cb->text();
  t.remove(QChar('\n'));
  t.replace(QChar('\r'), QChar(' '));
  const QMimeData* mime = cb->mimeData();
  if (mime != nullptr && mime->hasText()) cb->setText(t);
}

}  // namespace tarnel
