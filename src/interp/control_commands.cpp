// "/if", "/while", "/do", "/break" and "/breakall".

#include "interp/client.h"
#include "interp/commands.h"

namespace tarnel {

void CmdIf(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdWhile(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdDo(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdBreak(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdBreakAll(Client& c, const CommandCall& call) { CmdNotYet(c, call); }

}  // namespace tarnel
