// "/query", "/closequery", "/openquery", "/window", "/textout" and
// "/commandline": text for the chat tabs, the output windows and the main
// command line.  Without windows (the console) queries and window text are
// printed in the main terminal as "[title] text".

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/words.h"

namespace tarnel {

namespace {

using Request = Host::WindowRequest;

std::string Replace(std::string text, std::string_view what, char with) {
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    text.replace(at, what.size(), 1, with);
  return text;
}

}  // namespace

void CmdQuery(Client& c, const CommandCall& call) {
  const std::string title = WordAt(call.params, 1);
  if (title.empty() || WordCount(call.params) == 0) {
    c.ParamError(call.word);
    return;
  }
  const auto blank = call.params.find(' ');
  std::string message;
  if (blank != std::string_view::npos && blank + 1 < call.params.size()) {
    message.assign(call.params.substr(blank + 1));
    message += ' ';
  }
  if (!c.host.HasPanelWindows()) {
    c.PrintText("[" + title + "] " + TrimRightBlanks(message) + "\r\n");
    return;
  }
  c.queries.Add(title, message);
  c.host.QueryPanelChanged();
}

void CmdCloseQuery(Client& c, const CommandCall& call) {
  if (WordCount(call.params) != 1) {
    c.ParamError(call.word);
    return;
  }
  c.queries.Close(WordAt(call.params, 1));
  c.host.QueryPanelChanged();
  c.host.FocusCommandLine();
}

void CmdOpenQuery(Client& c, const CommandCall& call) {
  if (WordCount(call.params) != 1) {
    c.ParamError(call.word);
    return;
  }
  QueryModel& q = c.queries;
  const std::string title = WordAt(call.params, 1);
  int tab = -1;
  for (const char marker : {' ', '*'})
    for (std::size_t i = 0; i < q.Tabs.size(); ++i)
      if (q.Tabs[i] == std::string(1, marker) + title) tab = static_cast<int>(i);
  // The tab's messages are shown too, as a click on the tab shows them.
  if (tab >= 0) q.SelectTab(tab);
  c.host.QueryPanelChanged();
}

namespace {

// Leading blanks off, the title up to the first blank, the rest unwrapped.
bool WindowArguments(std::string_view params, std::string& title, std::string& rest) {
  const std::string_view text = TrimLeftBlanksView(params);
  const auto blank = text.find(' ');
  title.assign(text.substr(0, blank));
  rest = blank == std::string_view::npos ? std::string() : Unquote(text.substr(blank + 1));
  return !title.empty();
}

void EnsureWindow(Client& c, const std::string& title) {
  if (!c.host.HasOutputWindow(title)) c.host.OutputWindow(title, Request::Create);
}

}  // namespace

void CmdWindow(Client& c, const CommandCall& call) {
  std::string title, rest;
  if (!WindowArguments(call.params, title, rest) || !c.host.HasPanelWindows()) return;
  EnsureWindow(c, title);
  if (rest.empty()) rest = "open";
  if (rest == "close") c.host.OutputWindow(title, Request::Free);
  if (rest == "open") c.host.OutputWindow(title, Request::Open);
  if (rest == "show") c.host.OutputWindow(title, Request::Show);
  if (rest == "hide") c.host.OutputWindow(title, Request::Hide);
  if (rest == "clear") c.host.OutputWindow(title, Request::Clear);
  std::string word, text;
  SplitFirstWord(rest, word, text);
  if (word == "commandline") c.host.OutputWindow(title, Request::CommandLine, text);
}

void CmdTextOut(Client& c, const CommandCall& call) {
  std::string title, text;
  if (!WindowArguments(call.params, title, text)) return;
  if (c.host.HasPanelWindows()) EnsureWindow(c, title);
  if (text.empty()) return;
  // The line end is added before the replacements: "/cr" in the text does
  // not count as one.
  if (text.find_first_of("\r\n") == std::string::npos) text += "\r\n";
  text = Replace(Replace(Replace(std::move(text), "/esc", '\x1b'), "/cr", '\r'), "/lf", '\n');
  if (!c.host.HasPanelWindows()) {
    c.PrintText("[" + title + "] " + text);
    return;
  }
  c.host.OutputWindow(title, Request::Write, text);
}

void CmdCommandLine(Client& c, const CommandCall& call) { c.host.SetCommandLine(call.params); }

}  // namespace tarnel
