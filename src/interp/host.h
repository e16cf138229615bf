// The one interface between the client's core and the platform it runs on.
//
// The core never calls the platform directly: the front end (the desktop
// window or the console) implements this interface.  Everything has a
// harmless default, so a headless host implements only what it needs.
// Events travel the other way as plain calls on the core (socket events,
// timers, keys, lines entered).
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace tarnel {

enum class EntryKind;

enum class TimerId { Tick, Second, Completion };
enum class TerminalId { Main, History };

class Host {
 public:
  virtual ~Host() = default;

  // Let the message loop run once: socket events, timers, key strokes and
  // painting that are waiting run now, possibly running more commands.
  virtual void ProcessMessages() {}

  // The local clock.
  virtual std::tm Now() const;

  // Text has been written to a terminal's screen (the console prints it).
  virtual void TerminalWritten(TerminalId /*id*/, std::string_view /*text*/) {}
  // A terminal's screen changed and wants painting.
  virtual void RepaintTerminal(TerminalId /*id*/) {}

  // The one-character busy indicator left of the command line.
  virtual void BusyIndicatorChanged(char /*c*/) {}
  // The main window's panels and lists show the store anew.
  virtual void RefreshPanels() {}
  // The application title shown in the task list.
  virtual void SetTitle(std::string_view title) { title_ = std::string(title); }
  virtual std::string Title() const { return title_; }
  virtual void SetStayOnTop(bool /*on*/) {}
  virtual void SetMapZoom(int /*zoom*/) {}
  virtual void SetMapPanelWidth(int /*width*/) {}
  virtual void SetMapPanelHeight(int /*height*/) {}
  virtual void RedrawMap() {}
  // The map panel.  The gauge shown while a map's rooms are linked, and
  // hidden again.
  virtual void MapProgress(int /*position*/, int /*maximum*/) {}
  virtual void HideMapProgress() {}
  // The room panel shows the current room anew (the map model has it).
  virtual void FillMapRoomPanel() {}
  // A map file to open or save, the dialog starting in this folder when
  // one is given; empty when cancelled.
  virtual std::string AskMapFileName(bool save, std::string_view filter,
                                     std::string_view /*folder*/) {
    return save ? AskSaveFileName(filter) : AskOpenFileName(filter);
  }
  // Chat tabs, output windows and the editor panels.  A host without
  // windows (the console) says so, and their text goes to the main
  // terminal instead.
  virtual bool HasPanelWindows() const { return false; }
  // The query model changed: the tabs and the panel show it anew.
  virtual void QueryPanelChanged() {}
  // The output window of a title: is there one; what to do with it.
  virtual bool HasOutputWindow(const std::string& /*title*/) { return false; }
  enum class WindowRequest { Create, Free, Open, Show, Hide, Clear, CommandLine, Write };
  virtual void OutputWindow(const std::string& /*title*/, WindowRequest /*what*/,
                            std::string_view /*text*/ = {}) {}
  // The main command line: takes the focus; gets a text, the caret at its
  // end.
  virtual void FocusCommandLine() {}
  virtual void SetCommandLine(std::string_view /*text*/) {}
  virtual std::string CommandLine() const { return {}; }

  // Close the main window once the running commands have returned.
  virtual void RequestClose() {}
  // Restore the window if minimised and bring it to the front.
  virtual void FocusMainWindow() {}
  // The emulator panel: a line whose text goes in as if the server sent it.
  virtual void ShowEmulatorPanel() {}
  // The entry editor on the list of one kind.
  virtual void OpenEntryEditor(EntryKind /*kind*/) {}
  // The interface designer: the settings of TARNEL.ini, just read, give
  // the window its fonts and colours.
  virtual void ApplyInterfaceSettings() {}
  // A terminal's mouse selection is dropped (its screen was cleared).
  virtual void ClearSelection(TerminalId /*id*/) {}
  // The server hides what is typed (a password): the command line shows
  // bullets, or the terminal stops echoing, until it is called with false.
  virtual void SetSecretInput(bool /*on*/) {}
  // A character typed while commands run is put into the command line now.
  virtual void InsertPendingKey() {}

  // The completion timer fired: the command line completes its last word
  // now if it can (the window asks the core which candidate).
  virtual void CompletionDue() {}

  // Timers: an interval of 0 never fires.
  virtual void StartTimer(TimerId /*id*/, int /*interval_ms*/) {}
  virtual void StopTimer(TimerId /*id*/) {}

  // The one connection to the game server.
  virtual void SocketOpen(const std::string& /*host*/, int /*port*/) {}
  // The same over TLS; false when this host cannot encrypt (nothing is
  // opened then).
  virtual bool SocketOpenSecure(const std::string& /*host*/, int /*port*/) { return false; }
  virtual void SocketClose() {}
  virtual void SocketSend(std::string_view /*bytes*/) {}

  // The information beep.
  virtual void Beep() {}
  virtual void PlaySound(const std::string& /*path*/) {}
  // The debug channel (standard error when TARNEL_DEBUG is set).
  virtual void DebugOutput(std::string_view /*text*/) {}

  // File dialogs; an empty answer means the player cancelled.  Hosts without
  // dialogs (the console) say so, and commands ask for a name instead.
  virtual bool CanAskFiles() const { return false; }
  virtual std::string AskOpenFileName(std::string_view /*filter*/) { return {}; }
  virtual std::string AskSaveFileName(std::string_view /*filter*/) { return {}; }

  // Folder of the program, and the player's own configuration folder.
  virtual std::string ExecutableDir() const { return "."; }
  virtual std::string UserConfigDir() const { return "."; }

 private:
  std::string title_;
};

}  // namespace tarnel
