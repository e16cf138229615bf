// The command interpreter: statement splitting, substitution of variables
// and user functions, macro expansion, abbreviation and dispatch.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "interp/commands.h"
#include "script/script_store.h"
#include "script/string_list.h"

namespace tarnel {

class Client;

class Interpreter {
 public:
  explicit Interpreter(Client& client);

  // Runs a command text with fresh local variable and function lists.
  void ExecuteCommand(std::string_view text, bool echo);
  // The interpreter proper, re-entered by handlers with the same lists.
  void RunCommand(std::string_view text, bool echo, TStringList& LocalVars,
                  TStringList& LocalFuncs);

  std::string SubstituteVariables(std::string_view text, TStringList& LocalVars);
  std::string SubstituteFunctions(std::string_view text, TStringList& LocalVars,
                                  TStringList& LocalFuncs);
  std::string ExpandMacro(std::string_view body, std::string_view params);
  // The command word after abbreviation over CommandNames.
  std::string Abbreviate(std::string_view word) const;

  // Event handlers that run a batch of commands raise the depth around it.
  void RaiseDepth() { ++CommandDepth; }
  // Lowers the depth of an event batch; back at zero the busy indicator
  // shows ">" (preview triggers leave it alone).
  void LowerDepth(bool reset_busy = true);

  void TurnBusyIndicator();
  void SetBusyIndicator(char c);
  char BusyIndicator() const { return busy_; }

  const TStringList& CommandNames() const { return command_names_; }

  int CommandDepth = 0;
  bool BreakRequested = false;
  bool BreakAllRequested = false;
  // "/breakall" from outside the running batch (typed, a hotkey, a trigger
  // or Ctrl+C while it runs): every statement of the batch still to come is
  // skipped, so even a runaway macro ends.
  bool AbortRequested = false;
  // How many message pumps of running batches are active now.
  int Pumping = 0;
  // Set by a file load for each of its lines: the first statement run
  // after it reaches the commands "/set" and "/include" themselves even
  // where a macro has their name, so a profile that defines such a macro
  // still loads the entries written after it.  Taken back by that
  // statement.
  bool NextStatementBuiltin = false;
  void BreakAll();

 private:
  void Statement(std::string_view statement, bool echo, TStringList& LocalVars,
                 TStringList& LocalFuncs);
  void GrabArguments(std::string_view text, TStringList& LocalVars, TStringList& LocalFuncs);
  void EndOfBatch();
  std::string CallFunction(std::string_view call, TStringList& LocalVars,
                           TStringList& LocalFuncs, bool& found);
  void ClearBreaks();

  Client& client_;
  // Function calls nested in the arguments of function calls.
  int substitution_depth_ = 0;
  char busy_ = '>';
  TStringList command_names_;
  // Folded command names, for the exact lookup that most words hit.
  std::unordered_set<std::string> folded_names_;
  // The command names in byte order with their places in command_names_:
  // the names an abbreviation begins lie together there.
  std::vector<std::pair<std::string, int>> prefix_order_;
  SettingSlot debug_setting_{"global._debug"};
  // Command names as written, with their handlers (null for the names that
  // have none of their own).
  std::unordered_map<std::string_view, CommandHandler> exact_handlers_;
  // The last word found there, with its handler: a batch tends to begin
  // its statements with the same command (the table never changes).
  std::string last_exact_word_;
  CommandHandler last_exact_handler_ = nullptr;
  // The last word that named no macro, while the macros list stays as it
  // was then (its stamp is never reused).
  bool NamesNoMacro(std::string_view word);
  std::string no_macro_word_;
  std::uint64_t no_macro_stamp_ = 0;
  bool no_macro_known_ = false;
};

}  // namespace tarnel
