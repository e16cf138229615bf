// The chat tabs and the query panel under them: the messages of the chosen
// query, its input line with "Скрывать", and the lines entered.  Shows the
// client's query model and passes the player's actions to it.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

namespace tarnel {

class Client;

class TQueryPanel : public QWidget {
  Q_OBJECT
 public:
  TQueryPanel(Client& client, QWidget* strip_parent, QWidget* parent);

  QWidget* Panel14 = nullptr;  // the strip of tabs
  QTabBar* TabControl1 = nullptr;
  QPlainTextEdit* Memo2 = nullptr;  // the messages
  QWidget* Panel16 = nullptr;
  QLineEdit* Edit15 = nullptr;      // the input line
  QCheckBox* CheckBox4 = nullptr;   // "Скрывать"
  QPlainTextEdit* Memo3 = nullptr;  // the lines entered
  QMenu* PopupMenu2 = nullptr;
  QAction* N8 = nullptr;   // "Сохранить в файл..."
  QAction* N20 = nullptr;  // "Свернуть окно"
  QAction* N24 = nullptr;  // "Закрыть окно"
  QAction* N12 = nullptr;  // "Игнорировать"

  // The main window's part: the command line takes the focus; a tab was
  // chosen (the history view and the entry editor close); the panel wants
  // its height laid out.
  std::function<void()> FocusCommandLine;
  std::function<void()> TabChanging;
  std::function<void()> LayOut;

  // Shows the model anew.
  void ShowModel();
  // The player chose a tab (or none, -1).
  void TabControl1Change(int index);
  // The focus entered the main command line.
  void CommandLineFocused();
  // Closes the panel as the history view or the emulator line opens.
  void ClosePanel();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Edit15Enter();
  void SaveMessages();
  void RunForSelected(const char* command);

  Client& client_;
  std::vector<std::string> shown_memo_;
  std::size_t shown_history_ = 0;
};

}  // namespace tarnel
