// String commands: they compute into variables through "/set".

#include "interp/client.h"
#include "interp/commands.h"

namespace tarnel {

void CmdStrLen(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdSetLen(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdStrPos(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdStrCpy(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdStrIns(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdStrDel(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdStrClear(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdStrRepl(Client& c, const CommandCall& call) { CmdNotYet(c, call); }

}  // namespace tarnel
