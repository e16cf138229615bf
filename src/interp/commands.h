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
  // A view into the statement, which outlives the handler.
  std::string_view params;
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
// Runs every statement of a script file; false when it cannot be read.
bool LoadScriptFile(Client& c, std::string_view file, TStringList& LocalVars,
                    TStringList& LocalFuncs);

// Profiles and script files.
void CmdLoadProfile(Client&, const CommandCall&);
void CmdInclude(Client&, const CommandCall&);
void CmdExecute(Client&, const CommandCall&);
void CmdSaveProfile(Client&, const CommandCall&);
void CmdNewProfile(Client&, const CommandCall&);
// General commands.
void CmdEcho(Client&, const CommandCall&);
void CmdEmulate(Client&, const CommandCall&);
void CmdAbout(Client&, const CommandCall&);
void CmdManual(Client&, const CommandCall&);
// The overview "/man" shows.
std::string ManualOverview();
void CmdQuit(Client&, const CommandCall&);
void CmdNop(Client&, const CommandCall&);
// Control flow.
void CmdIf(Client&, const CommandCall&);
void CmdWhile(Client&, const CommandCall&);
void CmdDo(Client&, const CommandCall&);
void CmdBreak(Client&, const CommandCall&);
void CmdBreakAll(Client&, const CommandCall&);
// General commands, continued.
void CmdCls(Client&, const CommandCall&);
void CmdLog(Client&, const CommandCall&);
void CmdClear(Client&, const CommandCall&);
void CmdPlay(Client&, const CommandCall&);
void CmdFocus(Client&, const CommandCall&);
void CmdGetDate(Client&, const CommandCall&);
void CmdGetTime(Client&, const CommandCall&);
void CmdType(Client&, const CommandCall&);
void CmdEditor(Client&, const CommandCall&);
void CmdEmulator(Client&, const CommandCall&);
// String commands.
void CmdStrLen(Client&, const CommandCall&);
void CmdSetLen(Client&, const CommandCall&);
void CmdStrPos(Client&, const CommandCall&);
void CmdStrCpy(Client&, const CommandCall&);
void CmdStrIns(Client&, const CommandCall&);
void CmdStrDel(Client&, const CommandCall&);
void CmdStrClear(Client&, const CommandCall&);
void CmdStrRepl(Client&, const CommandCall&);
// Display filter.
void CmdHighlight(Client&, const CommandCall&);
void CmdGag(Client&, const CommandCall&);
// Stats database.
void CmdStats(Client&, const CommandCall&);
void CmdAddStats(Client&, const CommandCall&);
void CmdParseStats(Client&, const CommandCall&);
void CmdLoadStats(Client&, const CommandCall&);
void CmdSaveStats(Client&, const CommandCall&);
void CmdAppendStats(Client&, const CommandCall&);
void CmdClearStats(Client&, const CommandCall&);
// Connection.
void CmdConnect(Client&, const CommandCall&);
void CmdForgetCertificate(Client&, const CommandCall&);
void CmdDisconnect(Client&, const CommandCall&);
void CmdSend(Client&, const CommandCall&);
// Map.
void CmdNewMap(Client&, const CommandCall&);
void CmdLoadMap(Client&, const CommandCall&);
void CmdSaveMap(Client&, const CommandCall&);
void CmdAppendMap(Client&, const CommandCall&);
void CmdLocation(Client&, const CommandCall&);
void CmdNavigate(Client&, const CommandCall&);
void CmdFlag(Client&, const CommandCall&);
// Chat tabs, output windows, the command line.
void CmdQuery(Client&, const CommandCall&);
void CmdCloseQuery(Client&, const CommandCall&);
void CmdOpenQuery(Client&, const CommandCall&);
void CmdWindow(Client&, const CommandCall&);
void CmdTextOut(Client&, const CommandCall&);
void CmdCommandLine(Client&, const CommandCall&);
// Commands whose subsystems are still to come.
void CmdNotYet(Client&, const CommandCall&);

}  // namespace tarnel
