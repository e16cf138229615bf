// The command line `tmyedit`: arrows, Tab and every character stay in it.
// Printable characters are held back and inserted when the program is free
// (or between the iterations of a running loop), so a character typed while
// a hotkey's command runs can be dropped.
#pragma once

#include <QLineEdit>
#include <functional>

namespace tarnel {

class tmyedit : public QLineEdit {
  Q_OBJECT
 public:
  explicit tmyedit(QWidget* parent = nullptr);

  // Key-down handling of the main window and of the line (returns true when
  // the key was consumed), and the Enter/Escape/Tab handling of the window.
  std::function<bool(QKeyEvent&)> OnKeyDown;
  std::function<bool(QKeyEvent&)> OnKeyPress;
  std::function<void()> OnPaste;  // the clipboard is cleaned before a paste

  unsigned char PendingChar = 0;
  bool PendingAllowed = false;
  // Puts the held-back character into the line at the caret.
  void InsertPending();

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
};

}  // namespace tarnel
