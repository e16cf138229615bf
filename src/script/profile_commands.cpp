// Commands that load, run and save profiles and script files.

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/words.h"
#include "script/profile_writer.h"
#include "script/script_file.h"
#include "script/text_file.h"
#include "text/cp1251.h"
#include "text/paths.h"

namespace tarnel {

using namespace literals;

namespace {

constexpr std::string_view kProfileFilter = "Профили (*.tmc)|*.tmc|Все файлы|*.*"_cp;

enum class Load { Profile, Include, Execute };

// The file a command names, or one the player picks; empty when the player
// cancelled or could not be asked (then the parameter error is shown).
std::string FileParameter(Client& c, const CommandCall& call, bool save, std::string name) {
  if (!name.empty()) return name;
  if (!c.host.CanAskFiles()) {
    c.ParamError(call.word);
    return {};
  }
  return save ? c.host.AskSaveFileName(kProfileFilter) : c.host.AskOpenFileName(kProfileFilter);
}

void LoadCommand(Client& c, const CommandCall& call, Load kind) {
  const std::string name = FileParameter(c, call, false, Unquote(call.params));
  if (name.empty()) return;
  const std::string full = text::ExpandFileName(name);
  TStringList& groups = c.store.Groups();
  if (groups.IndexOfName("group.global") < 0) groups.Add("group.global=on");
  if (groups.IndexOfName("group.manual") < 0) groups.Add("group.manual=on");
  if (kind == Load::Include) c.store.Variables().Add("global._include=" + full);
  if (kind == Load::Profile) c.DefaultProfile();
  if (!LoadScriptFile(c, full, call.LocalVars, call.LocalFuncs)) {
    c.Message(std::string("Ошибка чтения файла "_cp) + full + ".");
    return;
  }
  if (kind == Load::Profile) {
    c.interp.RunCommand("/set var global._profile='" + full + "'", false, call.LocalVars,
                        call.LocalFuncs);
    c.PrintText(std::string("\r\n\x1b[0;37m** Загружен профиль "_cp) + full + "\r\n");
    const std::string map_file = c.store.Var("map._file");
    if (!map_file.empty())
      c.interp.RunCommand("/loadmap " + map_file, false, call.LocalVars, call.LocalFuncs);
    const std::string stats_file = c.store.Var("global._statsfile");
    if (!stats_file.empty())
      c.interp.RunCommand("/loadstats " + stats_file, false, call.LocalVars, call.LocalFuncs);
  }
  c.RefreshPanels();
}

}  // namespace

bool LoadScriptFile(Client& c, std::string_view file, TStringList& LocalVars,
                    TStringList& LocalFuncs) {
  std::string content;
  if (!ReadWholeFile(file, content)) return false;
  const std::vector<std::string> statements = PrepareScriptLines(SplitTextLines(content));
  for (const std::string& s : statements) c.interp.RunCommand(s, true, LocalVars, LocalFuncs);
  return true;
}

void CmdLoadProfile(Client& c, const CommandCall& call) { LoadCommand(c, call, Load::Profile); }

void CmdInclude(Client& c, const CommandCall& call) { LoadCommand(c, call, Load::Include); }

void CmdExecute(Client& c, const CommandCall& call) { LoadCommand(c, call, Load::Execute); }

void CmdSaveProfile(Client& c, const CommandCall& call) {
  std::string name = Unquote(call.params);
  if (name.empty()) name = c.store.Var("global._profile");
  if (name == "{}") name.clear();
  name = FileParameter(c, call, true, name);
  if (name.empty()) return;
  const std::string full = text::ExpandFileName(name);
  if (!BuildProfileLines(c.store).SaveToFile(full))
    c.Message(std::string("Ошибка записи в файл "_cp) + full + ".");
  TStringList& vars = c.store.Variables();
  const int idx = vars.IndexOfName("global._profile");
  if (idx >= 0) vars.Put(idx, "global._profile=" + full);
}

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
