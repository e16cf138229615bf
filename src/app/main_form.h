// The main window of the desktop client: the terminal with its history view,
// the command line, the menu, and room for the panels around them.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTabBar>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "input/command_history.h"
#include "interp/client.h"
#include "ui/command_edit.h"
#include "ui/emul_vt.h"
#include "ui/entry_editor.h"
#include "ui/map_view.h"
#include "ui/output_window.h"
#include "ui/query_panel.h"
#include "ui/workbench.h"

namespace tarnel {

class GuiHost;

class TMainForm : public QMainWindow {
  Q_OBJECT
 public:
  TMainForm(Client& client, GuiHost& host);
  ~TMainForm() override;

  // Creation: the client's lists, settings, arguments, greeting and "/about".
  void FormCreate(const std::vector<std::string>& args);

  Client& client() { return client_; }

  // Components, named as the rest of the client knows them.
  QWidget* Panel5 = nullptr;    // the main terminal's panel
  TEmulVT* EmulVT1 = nullptr;   // the main terminal
  QWidget* Panel17 = nullptr;   // the history view's panel
  TEmulVT* EmulVT2 = nullptr;   // the history view
  QScrollBar* ScrollBar1 = nullptr;
  TQueryPanel* Panel15 = nullptr;  // the query panel under the chat tabs
  QTabBar* TabControl1 = nullptr;  // in Panel15's strip Panel14
  QCheckBox* CheckBox4 = nullptr;  // "Скрывать": keep the query panel closed
  QSplitter* Splitter3 = nullptr;  // below the query panel
  QSplitter* Splitter2 = nullptr;  // between the terminal and the map column
  TMapPanel* Panel1 = nullptr;  // map column, with the room editor Panel11
  TEntryEditor* Panel9 = nullptr;  // entry editor, above the terminal
  TWorkbench* Panel7 = nullptr;    // workbench, in the map column
  QWidget* Panel8 = nullptr;    // emulator panel
  QLineEdit* Edit2 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button9 = nullptr;
  QWidget* Panel10 = nullptr;   // command line panel
  QLabel* Label13 = nullptr;    // busy indicator
  tmyedit* Edit1 = nullptr;     // the command line
  QLabel* StatsPopup = nullptr; // the item pop-up

  CommandHistory history;
  TStringList KeyNames;

  // The map view's keys (Ctrl with the keypad, Alt+Backspace, releasing
  // Ctrl); the map view fills them in.
  struct MapKeys {
    std::function<void(int)> MoveRows;     // +1 down, -1 up
    std::function<void(int)> MoveColumns;  // +1 right, -1 left
    std::function<void(int)> ChangeLevel;  // +1 up, -1 down
    std::function<void(int)> Zoom;         // one step of the zoom slider
    std::function<void()> Centre;
    std::function<void()> TakeBack;        // the last recorded room
  } Map;
  // The panels show the store anew (the steps after the core's own).
  void RefreshPanels();
  void OpenEntryEditor();
  void HideEntryEditor();

  // Key handlers of the window and of the command line.
  bool FormKeyDown(QKeyEvent& e);
  bool FormKeyPress(QKeyEvent& e);
  void FormKeyUp(QKeyEvent& e);
  bool Edit1KeyDown(QKeyEvent& e);
  void Edit1Change(const QString& text);
  // The completion timer fired.
  void Timer2Timer();
  void CleanClipboard();
  void EnterLine();
  // The first menu opens; arrows and Enter work the menus from there.
  void OpenMenuBar();

  // Terminal handlers.
  void FitTerminal();
  void FitHistoryView();
  void ScrollBar1Change(int position);
  void SetHistoryPosition(int position);  // as a key moves the scroll bar
  void CloseQueryPanel();
  // The query panel's height, its own or the one that fills the column.
  void LayOutQueryPanel();
  int QueryAutoHeight() const;

  // Output windows, by title.
  bool HasOutputWindow(const std::string& title) const { return OutputWindows.count(title) != 0; }
  void OutputWindowRequest(const std::string& title, Host::WindowRequest what, std::string_view text);
  std::map<std::string, std::unique_ptr<TForm1>> OutputWindows;
  QMenu* WindowsMenu = nullptr;  // "Окна :"
  void TerminalWritten(TerminalId id);
  void RepaintTerminal(TerminalId id);

  // Emulator panel.
  void ShowEmulatorPanel();
  void HideEmulatorPanel();
  void Edit2Enter();
  void Button9Click();

  // The settings of TARNEL.ini on the terminals, the output windows and
  // the registered controls.
  void ApplyInterfaceSettings();

  void SetBusyIndicator(char c);
  void HideStatsPopup();
  // Shows a stats entry's value beside the pointer.
  void ShowStatsPopup(const std::string& value, QPoint pos, TEmulVT& view);
  // The stats database's value for an item name (empty when unknown).
  std::function<std::string(const std::string&)> StatsLookup = [](const std::string&) {
    return std::string();
  };
  bool Activated() const { return activated_; }
  // The window has been shown once (a close asked for earlier waits for it).
  bool Shown() const { return !maximize_at_first_show_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenu();
  void BuildLayout();
  void RebuildWindowsMenu();
  void FormActivate();
  void MenuCommand(QMenu* menu, const QString& title, const char* command, bool echo);
  void WordClick(TEmulVT& view, const std::string& word, Qt::KeyboardModifiers mods);

  MapViewState& MapView() { return client_.map.view; }
  void Splitter2Moved();

  Client& client_;
  GuiHost& host_;
  QSplitter* column_split_ = nullptr;
  bool maximize_at_first_show_ = true;
  bool activated_ = false;
  bool destroyed_ = false;
  bool navigating_history_ = false;
  bool completing_ = false;  // the completion changes the line, not the player
  int completion_interval_ = 1200;
};

}  // namespace tarnel
