// An output window: a window of its own with a terminal, fed by "/textout"
// and handled by "/window".  It remembers its place in the "windows."
// variables, closing it by its frame only hides it, and what is typed in
// it goes to the main command line.
#pragma once

#include <QLineEdit>
#include <QScrollBar>
#include <QWidget>
#include <functional>
#include <string>

#include "ui/emul_vt.h"

namespace tarnel {

class Client;

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  TForm1(Client& client, const std::string& title, const QFont& font);

  const std::string& Title() const { return title_; }
  TEmulVT* EmulVT1 = nullptr;
  QScrollBar* ScrollBar1 = nullptr;
  QWidget* Panel4 = nullptr;  // its own command line, hidden
  QLineEdit* CommandLine = nullptr;

  void Write(std::string_view text);
  void ClearTerminal();
  // The window may really close (the program ends, or "/window … close").
  void AllowClose() { closing_ = true; }

  // Keys go to the main window; the main command line takes the focus.
  std::function<void(QKeyEvent&)> ForwardKey;
  std::function<void()> FocusCommandLine;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void StoreGeometry();
  void Fit();

  Client& client_;
  std::string title_;
  bool closing_ = false;
  bool restoring_ = false;
};

}  // namespace tarnel
