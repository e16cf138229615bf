#include "ui/command_edit.h"

#include <QKeyEvent>
#include <QTimer>

#include "platform/qt_host.h"

namespace tarnel {

tmyedit::tmyedit(QWidget* parent) : QLineEdit(parent) {}

bool tmyedit::event(QEvent* e) {
  // Tab stays in the line instead of moving the focus.
  if (e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
      keyPressEvent(k);
      return true;
    }
  }
  return QLineEdit::event(e);
}

void tmyedit::keyPressEvent(QKeyEvent* e) {
  if (OnKeyDown && OnKeyDown(*e)) return;
  if (OnKeyPress && OnKeyPress(*e)) return;
  if ((e->key() == Qt::Key_Insert && (e->modifiers() & Qt::ShiftModifier)) ||
      e->matches(QKeySequence::Paste)) {
    if (OnPaste) OnPaste();
    QLineEdit::keyPressEvent(e);
    return;
  }
  const QString text = e->text();
  const bool ctrl_or_alt = (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) != 0;
  if (text.size() == 1 && text[0].unicode() >= 32 && text[0].unicode() != 127 && !ctrl_or_alt) {
    const std::string b = FromQString(text);
    PendingChar = static_cast<unsigned char>(b.empty() ? '?' : b[0]);
    PendingAllowed = true;
    // Inserted as soon as the program is free.
    QTimer::singleShot(0, this, [this] { InsertPending(); });
    return;
  }
  QLineEdit::keyPressEvent(e);
}

void tmyedit::InsertPending() {
  if (PendingChar < 32 || !PendingAllowed) return;
  QString t = this->text();
  int p = hasSelectedText() ? selectionStart() : cursorPosition();
  if (hasSelectedText()) t.remove(p, selectedText().size());
  const QString ch = ToQString(std::string(1, static_cast<char>(PendingChar)));
  if (p > t.size()) p = static_cast<int>(t.size());
  t.insert(p, ch);
  setText(t);
  setCursorPosition(p + 1);
  PendingChar = 0;
}

}  // namespace tarnel
