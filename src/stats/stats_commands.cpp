// Commands of the item stats database.

#include "interp/client.h"
#include "interp/commands.h"

namespace tarnel {

void CmdStats(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdAddStats(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdParseStats(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdLoadStats(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdSaveStats(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdAppendStats(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdClearStats(Client& c, const CommandCall& call) { CmdNotYet(c, call); }

}  // namespace tarnel
