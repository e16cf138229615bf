// The whole state of one client: the script store, the interpreter, the
// output, the connection and the start-up and shut-down sequence.  Nothing
// lives outside it, so two clients can run side by side.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "interp/host.h"
#include "interp/interpreter.h"
#include "mapper/map_model.h"
#include "panels/entry_editor_model.h"
#include "panels/interface_settings.h"
#include "panels/query_model.h"
#include "panels/workbench_model.h"
#include "net/connection.h"
#include "pipeline/display_filter.h"
#include "pipeline/incoming.h"
#include "pipeline/output.h"
#include "script/script_store.h"
#include "terminal/screen.h"

namespace tarnel {

class Client {
 public:
  explicit Client(Host& host);
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  Host& host;
  ScriptStore store;
  Interpreter interp;
  Output output;
  Connection connection;
  Incoming incoming;
  DisplayFilterState display_filter;
  // The screens of the main terminal and of the history view.
  TScreen main_screen;
  TScreen history_screen;
  // TARNEL.ini
  TStringList settings;
  // The look of the window as designed, for the interface designer.
  InterfaceSettings interface;
  // The item stats database: item name "=" record text.
  TStringList StatsList;
  // The rooms of the map and its layout.
  MapModel map;
  // The chat tabs.
  QueryModel queries;
  // The workbench and the entry editor.
  WorkbenchModel workbench;
  EntryEditorModel editor;
  // The built-in manual: topic "=" text, filled at its first use.
  TStringList ManualTexts;

  void ExecuteCommand(std::string_view text, bool echo) { interp.ExecuteCommand(text, echo); }
  // Lets the message loop run once; whatever runs meanwhile (a typed line,
  // a trigger, a timer) interrupts the batch that called it.
  void ProcessMessages();
  void PrintText(std::string_view text) { output.PrintText(text); }
  // Prints a time-stamped system message.
  void Message(std::string_view text) { output.PrintText(output.SystemMessage(text)); }
  // "Ошибка в параметрах, /man <word> для справки."
  void ParamError(std::string_view word);
  // Feedback lines ("** set ...") print only while global._echo is on.
  bool EchoOn() { return store.VarOn(echo_setting_); }

  // Applies the store to the window (caption, compression switch) and lets
  // the front end refresh its panels.
  void RefreshPanels();
  bool MccpEnabled() const { return mccp_enabled_; }

  // The main window's life.
  void Create(const std::vector<std::string>& args);
  void Activate();
  void Destroy();
  bool Ready() const { return ready_; }
  // Destroy() has begun: the window's last events change nothing stored.
  bool ShuttingDown() const { return shutting_down_; }
  const std::string& StartupCommand() const { return startup_command_; }
  std::string SettingsPath() const;

  // Text gathered by a stats accumulation, for the stats parser.
  void ParseStats(std::string_view text);

  // A timer of the main window fired.
  void OnTimer(TimerId id);

  // The store as a new profile starts it.
  void DefaultProfile();

 private:
  bool mccp_enabled_ = false;
  bool ready_ = false;
  bool shutting_down_ = false;
  bool startup_pending_ = false;
  std::string startup_command_;
  SettingSlot echo_setting_{"global._echo"};
};

// The version shown by "/about".
std::string_view ClientVersion();

}  // namespace tarnel
