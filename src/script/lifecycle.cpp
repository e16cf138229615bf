// The main window's life: creation, first activation and destruction, in
// the order the player's state depends on.

#include <unistd.h>

#include <exception>
#include <filesystem>

#include "interp/client.h"
#include "interp/words.h"
#include "stats/stats_database.h"
#include "text/cp1251.h"
#include "text/encoding.h"
#include "text/paths.h"

namespace tarnel {

using namespace literals;

std::string Client::SettingsPath() const {
  // Beside the program when that folder is writable; the player's own
  // configuration folder otherwise, so settings are never silently lost.
  const std::string exe_dir = host.ExecutableDir();
  if (::access(text::NativePath(exe_dir).c_str(), W_OK) == 0) return exe_dir + "/TARNEL.ini";
  return host.UserConfigDir() + "/TARNEL.ini";
}

void Client::Create(const std::vector<std::string>& args) {
  host.SetTitle("Tarnel MUD Client");
  // The one-second timer of the "timers." variables runs for the whole run.
  host.StartTimer(TimerId::Second, 1000);
  std::string lastprofile;
  const std::string ini = SettingsPath();
  if (text::FileExists(ini) && settings.LoadFromFile(ini)) {
    lastprofile = settings.GetValue("lastprofile");
    // A look the window cannot take is no reason not to start.
    try {
      host.ApplyInterfaceSettings();
    } catch (const std::exception&) {
    }
  }
  lastprofile = TrimRightBlanks(lastprofile);
  if (!lastprofile.empty())
    startup_command_ = "/loadprofile {" + lastprofile + "}";
  else
    startup_command_ = "/newprofile {}";
  startup_pending_ = true;

  if (!args.empty()) {
    std::string joined;
    for (const auto& a : args) {
      if (!joined.empty()) joined += ' ';
      joined += a;
    }
    ExecuteCommand(joined, true);
  }

  PrintText(std::string("\x1b[0;37mДобро пожаловать в Tarnel MUD Client, наберите "_cp) +
            "\"/man\"" + std::string("  для справки о командах.\n\r"_cp));
  PrintText("\x1b[0;37m" + std::string(49, ' ') + "\"/man news\"" +
            std::string("  история изменений.\n\r"_cp));
  ExecuteCommand("/about", false);
  RefreshPanels();
}

void Client::Activate() {
  ready_ = false;
  if (startup_pending_) {
    startup_pending_ = false;
    PrintText("\r\n");
    const std::string command = startup_command_;
    ExecuteCommand(command, false);
  }
  ready_ = true;
  host.ProcessMessages();
}

void Client::Destroy() {
  shutting_down_ = true;
  interp.RaiseDepth();
  const std::string profile = store.Var("global._profile");
  if (store.VarOn("global._autosave") && !profile.empty())
    ExecuteCommand("/saveprofile " + profile, false);
  const std::string map_file = store.Var("map._file");
  if (store.VarOn("map._autosave") && !map_file.empty()) ExecuteCommand("/savemap " + map_file, false);
  const std::string stats_file = store.Var("global._statsfile");
  if (!stats_file.empty()) ExecuteCommand("/savestats " + stats_file, false);
  interp.LowerDepth();

  settings.SetValue("lastprofile", store.Var("global._profile"));
  const std::string ini = SettingsPath();
  std::error_code ec;
  std::filesystem::create_directories(text::NativePath(text::DirectoryOf(ini)), ec);
  settings.SaveToFile(ini);
}

void Client::DefaultProfile() {
  host.StopTimer(TimerId::Tick);
  for (EntryKind k : {EntryKind::Macros, EntryKind::Hotkeys, EntryKind::Triggers}) store.List(k).Clear();
  store.Preview().Clear();
  for (EntryKind k : {EntryKind::Variables, EntryKind::Arguments, EntryKind::Groups, EntryKind::Functions})
    store.List(k).Clear();

  TStringList& groups = store.Groups();
  for (const char* g : {"global", "default", "toolbox", "highlights", "map", "autoarg", "stats"})
    groups.Add(std::string("group.") + g + "=on");

  TStringList& vars = store.Variables();
  for (const char* line : {
           "global._logfile=standart.log", "global._statsfile=stats.tms", "global._autosave=on",
           "global._tick=30", "global._tickstring=", "global._echo=off", "global._mccp=on",
           "global._prompt=> ", "global._arggrab=off", "global._argdelay=600",
           "global._debug=off", "global._font=fixedsys", "global._font_size=8",
           "global._font_width=0", "global._font_height=0", "global._caption="})
    vars.Add(line);

  std::string item_trigger;
  item_trigger += "stats.Предмет \"%0\", тип : %1="_cp;
  item_trigger += ItemTriggerCommand();
  store.Triggers().Add(item_trigger);
  for (std::string_view m : {"stats.статы=/stats %0*"_cp, "stats.статсы=/stats %0*"_cp,
                             "stats.статс=/stats %0*"_cp, "stats.стат=/stats %0*"_cp})
    store.Macros().Add(std::string(m));
  store.Macros().Add("stats._stats=/stats %0*,*");
  store.Arguments().Add("autoarg.mud.example.org 4000=/connect");

  for (const char* line : {"highlights._autosave=on", "replaces._autosave=on",
                           "preview._autosave=on", "toolbox.caption=", "toolbox.onclick=",
                           "toolbox.ondblclick=", "map._autosave=on", "map._autograb=on",
                           "map._file=", "map.color=", "map.flat=0", "map.located=0",
                           "map._directory=."})
    vars.Add(line);

  host.StartTimer(TimerId::Tick, 30000);
}

}  // namespace tarnel
