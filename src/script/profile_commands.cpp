// Commands that load, run and save profiles and script files.

#include <exception>

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

// Whether an include line records the file (the saved profile writes every
// variable whose name begins so as an include).
bool Included(const TStringList& vars, std::string_view full) {
  for (const std::string& line : vars.Lines()) {
    if (line.compare(0, 15, "global._include") != 0) continue;
    if (TStringList::ValueOf(line) == full) return true;
  }
  return false;
}

// Runs a handler on a statement that needs no reading, the way the
// interpreter runs any statement: one level deeper, failures ending only
// the statement, and the message loop let run after it.
void RunDirect(Client& c, CommandHandler handler, std::string_view word, std::string params,
               TStringList& LocalVars, TStringList& LocalFuncs) {
  if (c.interp.AbortRequested) return;
  c.interp.TurnBusyIndicator();
  {
    struct Level {
      Interpreter& interp;
      explicit Level(Interpreter& i) : interp(i) { interp.RaiseDepth(); }
      ~Level() { interp.LowerDepth(false); }
    } level(c.interp);
    try {
      handler(c, CommandCall{word, std::move(params), true, LocalVars, LocalFuncs});
    } catch (const std::exception& e) {
      c.host.DebugOutput(std::string("command failed: ") + e.what() + "\r\n");
    }
  }
  c.ProcessMessages();
}

// An entry written in the exact form: "/set" gets its name and value
// between double quotes, which it takes off and keeps everything between.
void RunExact(Client& c, const ExactLine& e, TStringList& LocalVars, TStringList& LocalFuncs) {
  if (e.kind_word.empty()) {
    RunDirect(c, CmdInclude, "/include", "\"" + e.value + "\"", LocalVars, LocalFuncs);
    return;
  }
  RunDirect(c, CmdSet, "/set", e.kind_word + " \"" + e.name + "\"=\"" + e.value + "\"", LocalVars,
            LocalFuncs);
}

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
  if (kind == Load::Include) {
    // A file that includes itself, directly or through others, would load
    // for ever and record itself at every level.
    if (c.store.Loading().Contains(full)) {
      c.Message(std::string("Файл "_cp) + full + std::string(" уже загружается."_cp));
      return;
    }
    // Included again, it runs again, but it is recorded once: every record
    // runs it once more at each load.
    if (!Included(c.store.Variables(), full)) c.store.Variables().Add("global._include=" + full);
  }
  if (kind == Load::Profile) c.DefaultProfile();
  if (!LoadScriptFile(c, full, call.LocalVars, call.LocalFuncs)) {
    c.Message(std::string("Ошибка чтения файла "_cp) + full + ".");
    return;
  }
  if (kind == Load::Profile) {
    c.interp.NextStatementBuiltin = true;
    c.interp.RunCommand("/set var global._profile='" + full + "'", false, call.LocalVars,
                        call.LocalFuncs);
    c.interp.NextStatementBuiltin = false;
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
  const LoadingFiles::Mark loading(c.store.Loading(), file);
  std::vector<ScriptStep> steps = ReadScript(SplitTextLines(content));
  content.clear();
  content.shrink_to_fit();
  for (const ScriptStep& step : steps) {
    if (step.exact)
      RunExact(c, *step.exact, LocalVars, LocalFuncs);
    else {
      c.interp.NextStatementBuiltin = true;
      c.interp.RunCommand(step.text, true, LocalVars, LocalFuncs);
      c.interp.NextStatementBuiltin = false;
    }
  }
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
  if (!WriteFileSafely(full, BuildProfileText(c.store)))
    c.Message(std::string("Ошибка записи в файл "_cp) + full + ".");
  TStringList& vars = c.store.Variables();
  const int idx = vars.IndexOfName("global._profile");
  if (idx >= 0) vars.Put(idx, "global._profile=" + full);
}

void CmdNewProfile(Client& c, const CommandCall& call) {
  c.DefaultProfile();
  std::string name(call.params);
  if (name == "{}") name = "default.tmc";
  if (!name.empty())
    c.store.Variables().Add("global._profile=" + text::ExpandFileName(name));
  else
    c.store.Variables().Add("global._profile=default.tmc");
  c.RefreshPanels();
  c.PrintText(std::string("\r\n\x1b[0;37m** Создан новый профиль.\r\n"_cp));
}

}  // namespace tarnel
