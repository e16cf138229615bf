// The chat tabs: every message of every open query in one log, a tab per
// title marked "*" while it holds messages the player has not seen, the
// messages of the selected tab, the input line's history and the height
// each query's panel wants.  The window shows this model and passes its
// events in as calls.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnel {

class Client;

class QueryModel {
 public:
  // Title, 0x01, message, in the order they came.
  std::vector<std::string> QueryLog;
  // "*" or " " and the title.
  std::vector<std::string> Tabs;
  int Selected = -1;
  int LastSelected = -1;
  bool PanelVisible = false;
  // The messages shown for the selected tab.
  std::vector<std::string> Memo;
  // The parts entered in the input line, and the position of Up and Down.
  std::vector<std::string> History;
  int HistoryPosition = 0;

  static std::string TitleOf(std::string_view tab) { return tab.empty() ? std::string() : std::string(tab.substr(1)); }
  // The tab of a title, marked or not; -1 when there is none.
  int FindTab(std::string_view title) const;
  std::string SelectedTitle() const;

  // "/query": the message stored, its tab marked, shown when it is the
  // selected one.
  void Add(std::string_view title, std::string_view message);
  // "/closequery" with a title, or with "*" or "all".
  void Close(std::string_view title);
  // The player (or "/openquery") chose a tab, or none (-1): its messages
  // are shown and its mark cleared.  Returns whether a tab is selected now.
  bool SelectTab(int index);
  // The focus entered the input line or the messages with no tab selected:
  // the last one is selected again.
  void InputFocused();
  // The focus entered the main command line; with "Скрывать" ticked the
  // panel closes.
  void CommandLineFocused(bool hide);

  std::string HistoryUp();
  std::string HistoryDown();
};

// The parts of an input line: split at each ";" outside quotes (double and
// single, each its own state) and outside braces (counted outside quotes).
std::vector<std::string> SplitQueryInput(std::string_view text);

// The input line of the selected query entered: each part runs as a
// command of the line ("/close", "/hold", "/exit", "/ignore" ...) or is
// said to the query's title.  False when no tab was selected.
bool EnterQueryInput(Client& c, std::string_view text);

// The query panel's height: the selected query's own when it has a number
// stored, else the height that fills the terminal's place.
int QueryPanelHeight(Client& c, int auto_height);
// The player moved the splitter to `height`: stored for the selected query,
// or "auto" when it came within 15 pixels of the auto height.  Returns the
// height the panel takes.
int QueryPanelResized(Client& c, int height, int auto_height);

}  // namespace tarnel
