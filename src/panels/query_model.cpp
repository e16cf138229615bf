#include "panels/query_model.h"

#include <cstdlib>

#include "interp/client.h"
#include "interp/words.h"
#include "text/numbers.h"

namespace tarnel {

int QueryModel::FindTab(std::string_view title) const {
  for (const char marker : {'*', ' '})
    for (std::size_t i = 0; i < Tabs.size(); ++i)
      if (Tabs[i].size() == title.size() + 1 && Tabs[i][0] == marker && std::string_view(Tabs[i]).substr(1) == title)
        return static_cast<int>(i);
  return -1;
}

std::string QueryModel::SelectedTitle() const {
  return Selected >= 0 && Selected < static_cast<int>(Tabs.size()) ? TitleOf(Tabs[static_cast<std::size_t>(Selected)])
                                                                   : std::string();
}

void QueryModel::Add(std::string_view title, std::string_view message) {
  std::string entry(title);
  entry += '\x01';
  entry += message;
  QueryLog.push_back(std::move(entry));
  int tab = FindTab(title);
  const bool added = tab < 0;
  if (added) {
    Tabs.push_back("*" + std::string(title));
    tab = static_cast<int>(Tabs.size()) - 1;
  } else {
    Tabs[static_cast<std::size_t>(tab)] = "*" + std::string(title);
  }
  if (!PanelVisible)
    Selected = -1;
  else if (Selected < 0 && !added)
    Selected = tab;
  if (tab == Selected) {
    Memo.emplace_back(message);
    Tabs[static_cast<std::size_t>(tab)] = " " + std::string(title);
  }
}

void QueryModel::Close(std::string_view title) {
  const std::string selected = SelectedTitle();
  if (title == "*" || title == "all") {
    Tabs.clear();
    QueryLog.clear();
  } else {
    for (std::size_t i = Tabs.size(); i-- > 0;)
      if (TitleOf(Tabs[i]) == title) Tabs.erase(Tabs.begin() + static_cast<std::ptrdiff_t>(i));
    std::string prefix(title);
    prefix += '\x01';
    std::erase_if(QueryLog, [&prefix](const std::string& e) { return e.compare(0, prefix.size(), prefix) == 0; });
  }
  // The selected tab keeps its place among those left; when it went, the
  // panel has nothing to show.
  Selected = selected.empty() ? -1 : FindTab(selected);
  if (LastSelected >= static_cast<int>(Tabs.size())) LastSelected = -1;
  if (Selected < 0) {
    Memo.clear();
    PanelVisible = false;
  }
}

bool QueryModel::SelectTab(int index) {
  if (index < 0 || index >= static_cast<int>(Tabs.size())) {
    Selected = -1;
    return false;
  }
  Selected = LastSelected = index;
  std::string& tab = Tabs[static_cast<std::size_t>(index)];
  tab[0] = ' ';
  const std::string title = TitleOf(tab);
  Memo.clear();
  for (const std::string& e : QueryLog)
    if (e.size() > title.size() && e.compare(0, title.size(), title) == 0 && e[title.size()] == '\x01')
      Memo.push_back(e.substr(title.size() + 1));
  PanelVisible = true;
  return true;
}

void QueryModel::InputFocused() {
  if (Selected < 0 && LastSelected >= 0 && LastSelected < static_cast<int>(Tabs.size())) Selected = LastSelected;
}

void QueryModel::CommandLineFocused(bool hide) {
  if (!hide) return;
  PanelVisible = false;
  Selected = -1;
}

std::string QueryModel::HistoryUp() {
  if (History.empty()) return {};
  HistoryPosition = std::clamp(HistoryPosition, 0, static_cast<int>(History.size()) - 1);
  std::string line = History[static_cast<std::size_t>(HistoryPosition)];
  if (HistoryPosition > 0) --HistoryPosition;
  return line;
}

std::string QueryModel::HistoryDown() {
  if (History.empty()) return {};
  HistoryPosition = std::clamp(HistoryPosition + 1, 0, static_cast<int>(History.size()) - 1);
  return History[static_cast<std::size_t>(HistoryPosition)];
}

std::vector<std::string> SplitQueryInput(std::string_view text) {
  std::vector<std::string> parts;
  std::string part;
  bool dq = false, sq = false;
  int braces = 0;
  for (const char c : text) {
    if (c == '"' && !sq) dq = !dq;
    else if (c == '\'' && !dq) sq = !sq;
    else if (!dq && !sq && c == '{') ++braces;
    else if (!dq && !sq && c == '}' && braces > 0) --braces;
    else if (c == ';' && !dq && !sq && braces == 0) {
      parts.push_back(std::move(part));
      part.clear();
      continue;
    }
    part += c;
  }
  parts.push_back(std::move(part));
  return parts;
}

bool EnterQueryInput(Client& c, std::string_view text) {
  QueryModel& q = c.queries;
  if (q.Selected < 0) {
    c.host.FocusCommandLine();
    return false;
  }
  const std::string title = q.SelectedTitle();
  const std::string line = TrimRightBlanks(text);
  if (line.empty()) return true;
  for (const std::string& part : SplitQueryInput(line)) {
    if (part == "/close" || part == "/closequery" || part == "/part")
      c.ExecuteCommand("/closequery " + title, true);
    else if (part == "/hold")
      c.host.FocusCommandLine();
    else if (part == "/exit" || part == "/quit")
      c.ExecuteCommand("/closequery all", true);
    else if (part == "/ignore" || part == "/ignor" || part == "/ign" || part == "/i")
      c.ExecuteCommand("/ignore " + title, true);
    else
      c.ExecuteCommand("/say " + title + " " + part, true);
    q.History.push_back(part);
    q.HistoryPosition = static_cast<int>(q.History.size()) - 1;
  }
  c.host.QueryPanelChanged();
  return true;
}

namespace {

std::string HeightVariable(const std::string& title) { return "query." + title + "._height"; }

}  // namespace

int QueryPanelHeight(Client& c, int auto_height) {
  const std::string title = c.queries.SelectedTitle();
  if (title.empty()) return auto_height;
  const std::string value = c.store.Var(HeightVariable(title));
  if (value == "auto") return auto_height;
  const auto v = text::ReadInteger(value);
  return v && *v >= 0 && *v <= 100000 ? static_cast<int>(*v) : auto_height;
}

int QueryPanelResized(Client& c, int height, int auto_height) {
  const std::string title = c.queries.SelectedTitle();
  if (title.empty() || c.ShuttingDown()) return height;
  TStringList& vars = c.store.Variables();
  if (std::abs(height - auto_height) < 15) {
    vars.SetValue(HeightVariable(title), "auto");
    return auto_height;
  }
  vars.SetValue(HeightVariable(title), std::to_string(height));
  return height;
}

}  // namespace tarnel
