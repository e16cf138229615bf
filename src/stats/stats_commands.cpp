// Commands of the item stats database.

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/words.h"
#include "stats/stats_database.h"
#include "text/cp1251.h"
#include "text/paths.h"

namespace tarnel {

using namespace literals;

namespace {

constexpr std::string_view kStatsFilter = "Статистика (*.tms)|*.tms|Все файлы|*.*"_cp;

// The file a command names, or one the player picks; empty when the player
// cancelled or could not be asked (then the parameter error is shown).
std::string FileParameter(Client& c, const CommandCall& call, bool save, std::string name) {
  if (!name.empty()) return name;
  if (!c.host.CanAskFiles()) {
    c.ParamError(call.word);
    return {};
  }
  return save ? c.host.AskSaveFileName(kStatsFilter) : c.host.AskOpenFileName(kStatsFilter);
}

// The stats file in use, through "/set" like every other change of a
// variable.  Braces keep the path whole: no substitution, no statement split.
void SetStatsFile(Client& c, const CommandCall& call, const std::string& full) {
  c.interp.RunCommand("/set var global._statsfile={" + full + "}", false, call.LocalVars,
                      call.LocalFuncs);
}

void ReadError(Client& c, const std::string& full) {
  c.Message(std::string("Ошибка чтения файла "_cp) + full + ".");
}

// Where the first word of a text ends, as the word splitter sees it (quotes
// and braces included), so that what follows is the rest of the text as
// typed.
std::size_t FirstWordEnd(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool quoted = false;
  int depth = 0;
  for (; i < s.size(); ++i) {
    const char ch = s[i];
    if (ch == '"' || ch == '\'') {
      quoted = !quoted;
    } else if (!quoted && ch == '{') {
      ++depth;
    } else if (!quoted && ch == '}') {
      if (--depth == 0) return i + 1;
    } else if (ch == ' ' && !quoted && depth == 0) {
      return i;
    }
  }
  return s.size();
}

}  // namespace

void CmdAddStats(Client& c, const CommandCall& call) {
  if (!StoreStats(c.StatsList, Unquote(call.params))) c.ParamError(call.word);
}

std::string_view ItemTriggerCommand() { return "/parsestats > %0,тип:%1"_cp; }

void StartStatsParse(Client& c, std::string_view params, std::string_view word) {
  const std::string marker = WordAt(params, 1);
  if (WordCount(params) < 2 || marker.empty()) {
    c.ParamError(word);
    return;
  }
  if (c.incoming.StatsRunning()) return;
  c.incoming.StartStats(marker, std::string(params.substr(FirstWordEnd(params))));
}

void CmdParseStats(Client& c, const CommandCall& call) { StartStatsParse(c, call.params, call.word); }

void CmdStats(Client& c, const CommandCall& call) {
  for (const std::string& piece :
       StatsReport(c.StatsList, Unquote(call.params), c.main_screen.Cols()))
    c.PrintText(piece);
}

void CmdLoadStats(Client& c, const CommandCall& call) {
  const std::string name = FileParameter(c, call, false, Unquote(call.params));
  if (name.empty()) return;
  const std::string full = text::ExpandFileName(name);
  if (!c.StatsList.LoadFromFile(full)) {
    ReadError(c, full);
    return;
  }
  SetStatsFile(c, call, full);
}

void CmdSaveStats(Client& c, const CommandCall& call) {
  std::string name = Unquote(call.params);
  if (name.empty()) name = c.store.Var("global._statsfile");
  name = FileParameter(c, call, true, name);
  if (name.empty()) return;
  const std::string full = text::ExpandFileName(name);
  if (!c.StatsList.SaveToFile(full))
    c.Message(std::string("Ошибка записи в файл "_cp) + full + ".");
  SetStatsFile(c, call, full);
}

void CmdAppendStats(Client& c, const CommandCall& call) {
  const std::string name = Unquote(call.params);
  if (name.empty()) {
    c.ParamError(call.word);
    return;
  }
  const std::string full = text::ExpandFileName(name);
  TStringList read;
  if (!read.LoadFromFile(full)) {
    ReadError(c, full);
    return;
  }
  for (const std::string& line : read.Lines()) c.StatsList.Add(line);
  const int removed = RemoveDuplicateItems(c.StatsList);
  c.Message(std::string("прочитано записей: "_cp) + std::to_string(read.Count()) +
            std::string(", удалено повторов: "_cp) + std::to_string(removed));
}

void CmdClearStats(Client& c, const CommandCall& call) {
  c.StatsList.Clear();
  // Nothing is saved over the old file at shut-down.
  c.interp.RunCommand("/free var global._statsfile", false, call.LocalVars, call.LocalFuncs);
}

}  // namespace tarnel
