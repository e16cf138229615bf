// The chat tabs and the output window commands, on the model alone: tabs
// and their marks, the log, the input line, the panel height; what the
// output windows are asked to do; and the console's plain lines.

#include <gtest/gtest.h>

#include <set>

#include "panels/query_model.h"
#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

using namespace literals;

class WindowHost : public TestHost {
 public:
  bool HasPanelWindows() const override { return true; }
  void QueryPanelChanged() override { ++changes; }
  void FocusCommandLine() override { ++focus_line; }
  void SetCommandLine(std::string_view text) override { line = std::string(text); }
  bool HasOutputWindow(const std::string& title) override { return windows.count(title) != 0; }
  void OutputWindow(const std::string& title, WindowRequest what, std::string_view text) override {
    static const char* const kNames[] = {"create", "free", "open", "show", "hide", "clear", "commandline", "write"};
    requests.push_back(title + " " + kNames[static_cast<int>(what)] + (text.empty() ? "" : " " + std::string(text)));
    if (what == WindowRequest::Create) windows.insert(title);
    if (what == WindowRequest::Free) windows.erase(title);
  }
  int changes = 0;
  int focus_line = 0;
  std::string line;
  std::set<std::string> windows;
  std::vector<std::string> requests;
};

class Queries : public ::testing::Test {
 protected:
  void SetUp() override {
    c.DefaultProfile();
    c.store.Variables().SetValue("global._logfile", "");
    // The player's own command for answering.
    c.ExecuteCommand("/set macro /say={/echo said %0 %1}", false);
  }
  void Run(std::string_view text) { c.ExecuteCommand(text, false); }
  QueryModel& q() { return c.queries; }

  WindowHost host;
  Client c{host};
};

TEST_F(Queries, MessagesForATabNotSelectedMarkItUntilItIsChosen) {
  Run("/query Вася привет"_cp);
  Run("/query Вася как дела?"_cp);
  ASSERT_EQ(q().Tabs, (std::vector<std::string>{Cp("*Вася"_cp)}));
  ASSERT_EQ(q().QueryLog.size(), 2u);
  EXPECT_EQ(q().QueryLog[0], Cp("Вася\x01привет "_cp));
  EXPECT_EQ(q().Selected, -1);
  EXPECT_TRUE(q().Memo.empty());
  EXPECT_TRUE(q().SelectTab(0));
  EXPECT_EQ(q().Tabs[0], Cp(" Вася"_cp));
  EXPECT_EQ(q().Memo, (std::vector<std::string>{Cp("привет "_cp), Cp("как дела? "_cp)}));
  EXPECT_TRUE(q().PanelVisible);
  // While the panel shows the tab, new messages go straight to it.
  Run("/query Вася ещё"_cp);
  EXPECT_EQ(q().Tabs[0], Cp(" Вася"_cp));
  EXPECT_EQ(q().Memo.back(), Cp("ещё "_cp));
  // Another title gets a marked tab and is not selected.
  Run("/query Петя эй"_cp);
  EXPECT_EQ(q().Tabs[1], Cp("*Петя"_cp));
  EXPECT_EQ(q().Selected, 0);
  EXPECT_EQ(q().Memo.size(), 3u);
  // Without a message the message is empty; without a title, the error.
  Run("/query Петя"_cp);
  EXPECT_EQ(q().QueryLog.back(), Cp("Петя\x01"_cp));
  host.main.clear();
  Run("/query");
  EXPECT_NE(host.main.find("/man /query"), std::string::npos);
}

TEST_F(Queries, ClosingOneQueryOrAll) {
  Run("/query a 1;/query b 2;/query a 3");
  q().SelectTab(1);
  Run("/closequery a");
  EXPECT_EQ(q().Tabs, (std::vector<std::string>{" b"}));
  EXPECT_EQ(q().QueryLog, (std::vector<std::string>{"b\x01" "2 "}));
  EXPECT_EQ(q().Selected, 0);  // b stays selected in its new place
  EXPECT_EQ(host.focus_line, 1);
  for (const char* all : {"all", "*"}) {
    Run("/query a 1;/query b 2");
    Run(std::string("/closequery ") + all);
    EXPECT_TRUE(q().Tabs.empty()) << all;
    EXPECT_TRUE(q().QueryLog.empty()) << all;
    EXPECT_EQ(q().Selected, -1);
    EXPECT_FALSE(q().PanelVisible);
  }
  host.main.clear();
  Run("/closequery");
  Run("/closequery a b");
  int errors = 0;
  for (auto at = host.main.find("/man /closequery"); at != std::string::npos; at = host.main.find("/man /closequery", at + 1)) ++errors;
  EXPECT_EQ(errors, 2);
}

TEST_F(Queries, OpenQuerySelectsAndShowsItsMessages) {
  Run("/query a 1;/query b 2;/query b 3");
  Run("/openquery b");
  EXPECT_EQ(q().Selected, 1);
  EXPECT_EQ(q().Memo, (std::vector<std::string>{"2 ", "3 "}));
  Run("/openquery nobody");
  EXPECT_EQ(q().Selected, 1);
}

TEST_F(Queries, TheInputLineSaysItsPartsAndRunsItsOwnCommands) {
  EXPECT_EQ(SplitQueryInput("a;b"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitQueryInput("say \"a;b\";c"), (std::vector<std::string>{"say \"a;b\"", "c"}));
  EXPECT_EQ(SplitQueryInput("it's; x"), (std::vector<std::string>{"it's; x"}));
  EXPECT_EQ(SplitQueryInput("{a;b};c"), (std::vector<std::string>{"{a;b}", "c"}));
  EXPECT_EQ(SplitQueryInput("\"{\";x"), (std::vector<std::string>{"\"{\"", "x"}));

  Run("/query Вася привет"_cp);
  // No tab selected: the focus goes back to the command line.
  EXPECT_FALSE(EnterQueryInput(c, "hello"));
  EXPECT_EQ(host.focus_line, 1);
  q().SelectTab(0);
  host.main.clear();
  EXPECT_TRUE(EnterQueryInput(c, "привет;/close  "_cp));
  EXPECT_NE(host.main.find(Cp("said Вася привет"_cp)), std::string::npos) << host.main;
  EXPECT_TRUE(q().Tabs.empty());
  EXPECT_EQ(q().History, (std::vector<std::string>{Cp("привет"_cp), "/close"}));
  // "/hold" only gives the focus back; "/exit" closes every query; the
  // ignore words run the player's "/ignore".
  Run("/set macro /ignore={/echo ignoring %0}");
  Run("/query a 1;/query b 2");
  q().SelectTab(0);
  const int focus = host.focus_line;
  host.main.clear();
  EnterQueryInput(c, "/hold;/i");
  EXPECT_EQ(host.focus_line, focus + 1);
  EXPECT_NE(host.main.find("ignoring a"), std::string::npos);
  EnterQueryInput(c, "/exit");
  EXPECT_TRUE(q().Tabs.empty());
  // The history walks back and forth within its ends.
  q().History = {"one", "two", "three"};
  q().HistoryPosition = 2;
  EXPECT_EQ(q().HistoryUp(), "three");
  EXPECT_EQ(q().HistoryUp(), "two");
  EXPECT_EQ(q().HistoryUp(), "one");
  EXPECT_EQ(q().HistoryUp(), "one");
  EXPECT_EQ(q().HistoryDown(), "two");
  EXPECT_EQ(q().HistoryDown(), "three");
  EXPECT_EQ(q().HistoryDown(), "three");
}

TEST_F(Queries, PanelHeightPerQueryWithTheAutoSnap) {
  EXPECT_EQ(QueryPanelHeight(c, 300), 300);
  Run("/query a 1");
  q().SelectTab(0);
  EXPECT_EQ(QueryPanelHeight(c, 300), 300);
  // Ten pixels off the auto height snaps back to it.
  EXPECT_EQ(QueryPanelResized(c, 290, 300), 300);
  EXPECT_EQ(c.store.Var("query.a._height"), "auto");
  EXPECT_EQ(QueryPanelResized(c, 200, 300), 200);
  EXPECT_EQ(c.store.Var("query.a._height"), "200");
  EXPECT_EQ(QueryPanelHeight(c, 300), 200);
  EXPECT_EQ(QueryPanelResized(c, 285, 300), 285);  // 15 is not within
  Run("/set query.a._height=tall");
  EXPECT_EQ(QueryPanelHeight(c, 300), 300);
}

TEST_F(Queries, OutputWindowsAreAskedForWhatTheCommandsSay) {
  Run("/textout log a/crb");
  EXPECT_EQ(host.requests, (std::vector<std::string>{"log create", "log write a\rb\r\n"}));
  host.requests.clear();
  Run("/textout log {already/lf}");
  Run("/textout log x/esc[1mred");
  // The line end is looked for before "/lf" becomes one.
  EXPECT_EQ(host.requests, (std::vector<std::string>{"log write already\n\r\n", "log write x\x1b[1mred\r\n"}));
  host.requests.clear();
  Run("/window log");
  Run("/window log hide");
  Run("/window log commandline look around");
  Run("/window new close");
  EXPECT_EQ(host.requests, (std::vector<std::string>{"log open", "log hide", "log commandline look around",
                                                     "new create", "new free"}));
  EXPECT_EQ(host.windows.count("new"), 0u);
  host.requests.clear();
  Run("/window");
  Run("/textout");
  Run("/textout log");
  EXPECT_TRUE(host.requests.empty());
  Run("/commandline north south");
  EXPECT_EQ(host.line, "north south");
}

TEST(ConsoleQueries, QueriesAndWindowTextBecomeLinesOfTheTerminal) {
  TestHost host;
  Client c(host);
  c.DefaultProfile();
  c.store.Variables().SetValue("global._logfile", "");
  c.ExecuteCommand("/query Вася привет всем"_cp, false);
  c.ExecuteCommand("/textout log {line one}", false);
  c.ExecuteCommand("/window log close;/commandline x", false);
  EXPECT_EQ(host.main, Cp("[Вася] привет всем\r\n[log] line one\r\n"_cp));
  EXPECT_TRUE(c.queries.Tabs.empty());
}

}  // namespace
}  // namespace tarnel::test
