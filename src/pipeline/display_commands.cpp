// "/highlight" and "/gag".

#include "interp/client.h"
#include "interp/commands.h"

namespace tarnel {

void CmdHighlight(Client& c, const CommandCall& call) { CmdNotYet(c, call); }
void CmdGag(Client& c, const CommandCall& call) { CmdNotYet(c, call); }

}  // namespace tarnel
