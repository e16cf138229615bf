// The handlers of the client's own commands and the dispatch table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "script/string_list.h"

namespace tarnel {

class Client;

// What a handler gets: the command word (after abbreviation), the rest of the
// statement, and the running execution's echo flag and local lists.
struct CommandCall {
  std::string_view word;
  std::string params;
  bool echo;
  TStringList& LocalVars;
  TStringList& LocalFuncs;
};

using CommandHandler = void (*)(Client&, const CommandCall&);

// The handler for a command word (exact, case-sensitive), or null.
CommandHandler FindCommand(std::string_view word);

// The command words of the abbreviation list, in the order they are added
// before sorting.
const std::vector<std::string_view>& CommandNameEntries();

// Script store.
void CmdSet(Client&, const CommandCall&);
void CmdFree(Client&, const CommandCall&);
void CmdInc(Client&, const CommandCall&);
void CmdDec(Client&, const CommandCall&);
// Profiles and script files.
void CmdNewProfile(Client&, const CommandCall&);
// General commands.
void CmdEcho(Client&, const CommandCall&);
void CmdAbout(Client&, const CommandCall&);
void CmdQuit(Client&, const CommandCall&);
void CmdNop(Client&, const CommandCall&);
// Connection.
void CmdSend(Client&, const CommandCall&);
// Commands whose subsystems are still to come.
void CmdNotYet(Client&, const CommandCall&);

}  // namespace tarnel
