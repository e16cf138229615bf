// Commands that load, run and save profiles and script files.

#include "interp/client.h"
#include "interp/commands.h"
#include "text/cp1251.h"
#include "text/paths.h"

namespace tarnel {

using namespace literals;

void CmdNewProfile(Client& c, const CommandCall& call) {
  c.DefaultProfile();
  std::string name = call.params;
  if (name == "{}") name = "default.tmc";
  if (!name.empty())
    c.store.Variables().Add("global._profile=" + text::ExpandFileName(name));
  else
    c.store.Variables().Add("global._profile=default.tmc");
  c.RefreshPanels();
  c.PrintText(std::string("\r\n\x1b[0;37m** Создан новый профиль.\r\n"_cp));
}

}  // namespace tarnel
