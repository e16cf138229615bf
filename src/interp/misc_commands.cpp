// General commands that touch the screen, the log, files, sound and panels.

#include "interp/client.h"
#include "interp/commands.h"

namespace tarnel {

void CmdCls(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdLog(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdClear(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdPlay(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdFocus(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdGetDate(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdGetTime(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdType(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdEditor(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdEmulator(Client& c, const CommandCall& call) { CmdNotYet(c, call); }

}  // namespace tarnel
