// Interpreter behaviour that is about state rather than output.

#include <gtest/gtest.h>

#include <algorithm>

#include "test_host.h"
#include "text/case_fold.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

using namespace literals;

class InterpreterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    client_.DefaultProfile();
    client_.store.Variables().SetValue("global._logfile", "");
  }
  int Count(const std::string& what) const {
    int n = 0;
    for (auto p = host_.main.find(what); p != std::string::npos; p = host_.main.find(what, p + 1)) ++n;
    return n;
  }
  TestHost host_;
  Client client_{host_};
};

TEST_F(InterpreterTest, TheNestingLimitStopsARecursiveMacroOnceAndUnwinds) {
  client_.ExecuteCommand("/set macro loop=loop", false);
  client_.ExecuteCommand("loop", true);
  EXPECT_EQ(Count(std::string("слишком много вложенных команд"_cp)), 1);
  EXPECT_EQ(client_.interp.CommandDepth, 0);
  EXPECT_EQ(client_.interp.BusyIndicator(), '>');
  // The outer levels go on after the refusal.
  host_.main.clear();
  client_.ExecuteCommand("/set macro again={again;/echo back}", false);
  client_.ExecuteCommand("again", true);
  EXPECT_EQ(Count(std::string("слишком много вложенных команд"_cp)), 1);
  // Each call takes two levels (the statement part and the macro body).
  EXPECT_EQ(Count("back\r\n"), 64);
  EXPECT_EQ(client_.interp.CommandDepth, 0);
}

TEST_F(InterpreterTest, ExactlyOneHundredAndTwentyEightLevelsRun) {
  // Each level increments a counter and calls the next one.
  client_.ExecuteCommand("/set n=0", false);
  client_.ExecuteCommand("/set macro deeper={/inc n;deeper}", false);
  client_.ExecuteCommand("deeper", false);
  // Level 1 runs "deeper"; the body at level k runs its "/inc n" at level
  // k + 1, so bodies 2..127 count and the 128th meets the limit.
  EXPECT_EQ(client_.store.Var("default.n"), "126");
  EXPECT_EQ(client_.interp.CommandDepth, 0);
}

TEST_F(InterpreterTest, TheBusyIndicatorTurnsAndComesBackAtTheEnd) {
  std::string seen;
  struct Spy : TestHost {
    std::string* seen;
    void BusyIndicatorChanged(char c) override { *seen += c; }
  } spy;
  spy.seen = &seen;
  Client c(spy);
  c.ExecuteCommand("/nop;/nop", false);
  EXPECT_EQ(seen.front(), '/');
  EXPECT_EQ(seen.back(), '>');
  EXPECT_EQ(c.interp.BusyIndicator(), '>');
}

TEST_F(InterpreterTest, BreakFlagsAreClearedWhenTheBatchEnds) {
  client_.interp.BreakRequested = true;
  client_.interp.BreakAllRequested = true;
  // An event batch keeps them while it runs.
  client_.interp.RaiseDepth();
  client_.ExecuteCommand("/nop", false);
  EXPECT_TRUE(client_.interp.BreakAllRequested);
  client_.interp.LowerDepth();
  client_.ExecuteCommand("/nop", false);
  EXPECT_FALSE(client_.interp.BreakRequested);
  EXPECT_FALSE(client_.interp.BreakAllRequested);
}

TEST_F(InterpreterTest, ARepeatStopsWhenABreakArrivesThroughTheMessageLoop) {
  client_.connection.OnConnected();
  host_.pump.push_back([this] { client_.interp.BreakRequested = true; });
  client_.ExecuteCommand("/100 north", false);
  EXPECT_LT(host_.sent.size(), 100u);
  EXPECT_GE(host_.sent.size(), 1u);
}

TEST_F(InterpreterTest, EveryStatementLetsTheMessageLoopRun) {
  const int before = host_.pumps;
  client_.ExecuteCommand("/nop;/nop;/nop", false);
  EXPECT_GE(host_.pumps - before, 3);
}

TEST_F(InterpreterTest, CommandNamesAreSortedWithManFirst) {
  const auto& names = client_.interp.CommandNames();
  ASSERT_GT(names.Count(), 100);
  EXPECT_EQ(names[0], "/man");
  EXPECT_EQ(client_.interp.Abbreviate("/m"), "/man");
  EXPECT_EQ(client_.interp.Abbreviate("/"), "/man");
  EXPECT_EQ(client_.interp.Abbreviate("/s"), "/save");
  EXPECT_EQ(client_.interp.Abbreviate("/g"), "/gag");
  EXPECT_EQ(client_.interp.Abbreviate("/in"), "/inc");
  EXPECT_EQ(client_.interp.Abbreviate("/SET"), "/SET");
  EXPECT_EQ(client_.interp.Abbreviate("/zzz"), "/zzz");
}

// An abbreviation is the first name in the list's order that begins with it,
// letter case as written: every prefix of every name, in upper case too,
// against a walk over the list.
TEST_F(InterpreterTest, AnAbbreviationIsTheFirstListedNameItBegins) {
  const auto& names = client_.interp.CommandNames();
  auto walk = [&](std::string_view word) {
    for (const std::string& name : names.Lines())
      if (name.compare(0, word.size(), word) == 0 && name.size() >= word.size()) return name;
    return std::string(word);
  };
  int checked = 0;
  for (const std::string& name : names.Lines()) {
    for (std::size_t n = 0; n <= name.size() + 1; ++n) {
      std::string word = name.substr(0, n);
      if (n > name.size()) word += "\xFF";
      for (const std::string& w : {word, text::UpperAscii(word)}) {
        // A word that is itself a name (in any case) is left as it is.
        const bool exact = std::any_of(names.Lines().begin(), names.Lines().end(),
                                       [&](const std::string& x) { return text::SameText(x, w); });
        ASSERT_EQ(client_.interp.Abbreviate(w), exact ? w : walk(w)) << w;
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 1000);
}

TEST_F(InterpreterTest, SettingTheTickRestartsItsTimer) {
  client_.ExecuteCommand("/set global._tick=15", false);
  EXPECT_EQ(host_.timers[TimerId::Tick], 15000);
  client_.ExecuteCommand("/inc global._tick 5", false);
  EXPECT_EQ(host_.timers[TimerId::Tick], 20000);
  client_.ExecuteCommand("/set global._tick=abc", false);
  EXPECT_EQ(host_.timers[TimerId::Tick], 0);
  // The special names ignore letter case, as the names of the list do.
  client_.ExecuteCommand("/set GLOBAL._Tick={7}", false);
  EXPECT_EQ(host_.timers[TimerId::Tick], 7000);
  EXPECT_EQ(client_.store.Var("global._tick"), "7");
}

TEST_F(InterpreterTest, NewPreviewEntriesAreMirrored) {
  client_.ExecuteCommand("/set trig preview.x=1", false);
  ASSERT_EQ(client_.store.Preview().Count(), 1);
  EXPECT_EQ(client_.store.Preview()[0], "preview.x=1");
  client_.ExecuteCommand("/set trig preview.x=2", false);
  EXPECT_EQ(client_.store.Preview()[0], "preview.x=2");
  // "/free" leaves the preview list alone.
  client_.ExecuteCommand("/free trig preview.x", false);
  EXPECT_EQ(client_.store.Preview().Count(), 1);
}

// The interpreter remembers a word that named no macro; a macro given that
// name afterwards (a command's own name included) must still take over at
// once, and the command come back when the macro goes.
TEST_F(InterpreterTest, AMacroNamedLikeACommandTakesOverAtOnceAndGivesItBackWhenFreed) {
  client_.ExecuteCommand("/echo plain", false);
  client_.ExecuteCommand("/echo plain", false);
  EXPECT_EQ(Count("plain\r\n"), 2);
  client_.ExecuteCommand("/set macro /echo={/set said=%0}", false);
  client_.ExecuteCommand("/echo shadowed", false);
  EXPECT_EQ(client_.store.Var("default.said"), "shadowed");
  EXPECT_EQ(Count("shadowed\r\n"), 0);
  client_.ExecuteCommand("/free macro /echo", false);
  client_.ExecuteCommand("/echo back", false);
  EXPECT_EQ(Count("back\r\n"), 1);
  // A list put back wholesale (a profile loaded) counts as a change too.
  TStringList macros;
  macros.Add("default./echo=/set said=again");
  client_.store.Macros() = macros;
  client_.ExecuteCommand("/echo x", false);
  EXPECT_EQ(client_.store.Var("default.said"), "again");
}

}  // namespace
}  // namespace tarnel::test
