// Server text through line assembly, preview and ordinary triggers.

#include <gtest/gtest.h>

#include <random>

#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

using namespace literals;

class IncomingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    client_.DefaultProfile();
    client_.store.Triggers().Clear();
    client_.store.Variables().SetValue("global._logfile", "");
  }
  // Straight into the list: "/set" would substitute the pattern's variables.
  void Trigger(std::string_view line) {
    client_.store.Triggers().Add("default." + std::string(line));
  }
  void In(std::string_view chunk) { client_.incoming.ProcessIncoming(chunk); }
  std::string Var(std::string_view name) { return client_.store.Var(name); }
  std::vector<std::string_view> Lines() { return client_.incoming.CleanLines(); }

  TestHost host_;
  Client client_{host_};
};

TEST_F(IncomingTest, LinesAreAssembledAcrossChunksAndEndAtLfPromptOrGa) {
  Trigger("^%1$=/set seen={%1}");
  In("Hello wor");
  EXPECT_EQ(Var("default.seen"), "");
  In("ld\r\nNext");
  EXPECT_EQ(Var("default.seen"), "Hello world");
  EXPECT_EQ(Var("global._currow_esc"), "Hello world\r\n");
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_EQ(Lines().back(), "Next");
  In("\r\n");
  // The prompt text ends a line at the end of a chunk only.
  In("Your HP: 100> ");
  EXPECT_EQ(Var("default.seen"), "Your HP: 100> ");
  In("Your HP: 99>");
  EXPECT_EQ(Var("default.seen"), "Your HP: 100> ");
  In("\r\n");
  // GA ends the line; the marker never reaches the screen.
  host_.main.clear();
  In("Name: \x01\x01");
  EXPECT_EQ(Var("default.seen"), "Name: ");
  EXPECT_EQ(host_.main, "Name: ");
}

// Control bytes other than ESC, CR and LF belong to the line, wherever they
// stand among the eight-byte steps of the scan for line ends.
TEST_F(IncomingTest, ControlBytesThatEndNothingStayInTheLine) {
  std::mt19937 rng(11);
  const std::string alphabet = std::string("ab \xff\xe0\t\x07\x01\x1f\x7f\x80\x9f\xa0\r", 14);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    for (std::size_t n = rng() % 40; text.size() < n;) {
      const char c = alphabet[rng() % alphabet.size()];
      if (c == '\x01' && !text.empty() && text.back() == '\x01') continue;  // a GA marker
      text += c;
    }
    std::string clean;
    for (const char c : text)
      if (c != '\r') clean += c;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t piece = 1 + rng() % 20;
      // A GA marker cut between two chunks is two lone bytes: kept whole.
      std::size_t to = std::min(text.size(), at + piece);
      if (to < text.size() && text[to - 1] == '\x01') ++to;
      In(std::string_view(text).substr(at, to - at));
      at = to;
    }
    ASSERT_EQ(Lines().back(), clean) << "round " << round;
    ASSERT_EQ(client_.incoming.RawLines().back(), text) << "round " << round;
    In("\n");
  }
}

TEST_F(IncomingTest, BlankLinesFireNothingAndLastRowLagsOneLine) {
  Trigger("%1=/set during=%global._lastrow");
  In("first\r\n");
  In("second\r\n");
  EXPECT_EQ(Var("default.during"), "first");
  EXPECT_EQ(Var("global._lastrow"), "second");
  In("\r\n");
  EXPECT_EQ(Var("global._lastrow"), "second");
  EXPECT_EQ(Var("default.during"), "first");
}

// Lines that come in one read and fire nothing leave their line variables
// to the last of them; a line that fires sees its own.
TEST_F(IncomingTest, ACommandFiredInAReadOfManyLinesSeesItsOwnLineVariables) {
  Trigger("^two=/set during=%global._currow_clean after %global._lastrow");
  In("one\r\n\x1b[1mtwo\x1b[0m\r\nthree\r\nfour\r\n");
  EXPECT_EQ(Var("default.during"), "two after one");
  EXPECT_EQ(Var("global._currow_clean"), "four");
  EXPECT_EQ(Var("global._currow_esc"), "four\r\n");
  EXPECT_EQ(Var("global._lastrow"), "four");
}

TEST_F(IncomingTest, APatternMadeFromTheLastRowSeesTheLineBeforeInTheSameRead) {
  Trigger("^%global._lastrow again=/set repeated=yes");
  In("one\r\nthree\r\nthree again\r\nfour\r\n");
  EXPECT_EQ(Var("default.repeated"), "yes");
  EXPECT_EQ(Var("global._lastrow"), "four");
}

TEST_F(IncomingTest, AColourCodeCutBetweenChunksNeverReachesTheCleanLine) {
  Trigger("^%1$=/set seen={%1}");
  In("\x1b[1;3");
  In("2mText\x1b[0m\r\n");
  EXPECT_EQ(Var("default.seen"), "Text");
  EXPECT_EQ(Var("global._currow_esc"), "\x1b[1;32mText\x1b[0m\r\n");
}

TEST_F(IncomingTest, AnchorsCapturesAndRawPatterns) {
  Trigger(std::string("^Вы умерли$=/set rip=1"_cp));
  Trigger(std::string("%1 говорит: %2=/echo %1 said %2"_cp));
  Trigger("/esc[1;31m%1/esc[0m=/set red={%1}");
  for (std::string_view line : {"Вы умерли.\r\n"_cp, "Тут Вы умерли\r\n"_cp}) In(line);
  EXPECT_EQ(Var("default.rip"), "");
  In("Вы умерли\r\n"_cp);
  EXPECT_EQ(Var("default.rip"), "1");
  host_.main.clear();
  In("Вася говорит: привет\r\n"_cp);
  EXPECT_NE(host_.main.find("Вася said привет\r\n"_cp), std::string::npos) << Render(host_.main);
  In("a \x1b[1;31mdragon\x1b[0m here\r\n");
  EXPECT_EQ(Var("default.red"), "dragon");
}

TEST_F(IncomingTest, GroupSwitchesAndTriggerChangesTakeEffectAtTheNextStep) {
  TStringList& trig = client_.store.Triggers();
  TStringList& groups = client_.store.Groups();
  trig.Add("fight.%1 attacks=/set hit={%1}");
  groups.Add("group.fight=off");
  In("orc attacks\r\n");
  EXPECT_EQ(Var("default.hit"), "");
  client_.ExecuteCommand("/set group fight=on", false);
  In("troll attacks\r\n");
  EXPECT_EQ(Var("default.hit"), "troll");

  // A trigger that switches a later one's group off in the middle of the
  // walk: the later one no longer fires on this very line.
  groups.Add("group.b=on");
  trig.Add("b.stop=/set group fight=off");
  trig.Add("fight.stop=/set late=1");
  In("stop\r\n");
  EXPECT_EQ(Var("default.late"), "");
  // A trigger added by a trigger is walked on the same line.
  groups.Add("group.c=on");
  trig.Add("c.grow=/set trig d.grow={/set grown=1}");
  In("grow\r\n");
  EXPECT_EQ(Var("default.grown"), "1");
}

TEST_F(IncomingTest, APatternFollowsItsVariablesFromLineToLine) {
  client_.ExecuteCommand("/set target=orc", false);
  Trigger("%1 hits %target=/set by={%1}");
  In("wolf hits orc\r\n");
  EXPECT_EQ(Var("default.by"), "wolf");
  client_.ExecuteCommand("/set target=troll", false);
  In("bear hits orc\r\n");
  EXPECT_EQ(Var("default.by"), "wolf");
  In("bear hits troll\r\n");
  EXPECT_EQ(Var("default.by"), "bear");
  // A variable that goes away leaves its name in the pattern.
  client_.ExecuteCommand("/free target", false);
  In("fox hits target\r\n");
  EXPECT_EQ(Var("default.by"), "fox");
}

TEST_F(IncomingTest, PreviewTriggersRunBeforeDisplayAndOnlyThere) {
  struct Spy : TestHost {
    Client* client = nullptr;
    std::string at_display;
    void TerminalWritten(TerminalId id, std::string_view text) override {
      if (id == TerminalId::Main && at_display.empty())
        at_display = client->store.Var("default.shouts");
      TestHost::TerminalWritten(id, text);
    }
  } spy;
  Client c(spy);
  spy.client = &c;
  c.DefaultProfile();
  c.store.Variables().SetValue("global._logfile", "");
  c.ExecuteCommand("/set shouts=0", false);
  c.ExecuteCommand("/set trig preview.%1 shouts=/inc shouts", false);
  spy.at_display.clear();
  c.incoming.ProcessIncoming("guard shouts\r\n");
  EXPECT_EQ(spy.at_display, "1");
  EXPECT_EQ(c.store.Var("default.shouts"), "1");
  // A line that comes in two pieces is previewed twice, once unfinished.
  c.incoming.ProcessIncoming("guard shouts");
  c.incoming.ProcessIncoming(" again\r\n");
  EXPECT_EQ(c.store.Var("default.shouts"), "3");
}

TEST_F(IncomingTest, TextInjectedByATriggerIsProcessedAfterTheLinesQueued) {
  client_.ExecuteCommand("/set order=x", false);
  Trigger("^ping$=/emulate pong;/set order=%order ping");
  Trigger("^pong$=/set order=%order pong");
  Trigger("^last$=/set order=%order last");
  In("ping\r\nlast\r\n");
  EXPECT_EQ(Var("default.order"), "x ping last pong");
  EXPECT_EQ(client_.interp.CommandDepth, 0);
}

}  // namespace
}  // namespace tarnel::test
