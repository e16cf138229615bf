// Batches that would never end or never return: runaway macros stopped by a
// "/breakall" from outside, and function calls nested far too deep.

#include <gtest/gtest.h>

#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

using namespace literals;

class RunawayTest : public ::testing::Test {
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
  // A line the player types while the batch runs, after some messages.
  void TypeLater(const std::string& line, int after) {
    for (int i = 0; i < after; ++i) host_.pump.push_back([] {});
    host_.pump.push_back([this, line] { client_.ExecuteCommand(line, true); });
  }
  TestHost host_;
  Client client_{host_};
};

TEST_F(RunawayTest, ABreakAllFromOutsideEndsAMacroThatDoublesItself) {
  // Left alone this runs 2^127 statements.
  client_.ExecuteCommand("/set macro m={m;m}", false);
  TypeLater("/breakall", 300);
  client_.ExecuteCommand("m", true);
  EXPECT_TRUE(host_.pump.empty());
  EXPECT_LT(host_.pumps, 100000);
  EXPECT_EQ(client_.interp.CommandDepth, 0);
  EXPECT_FALSE(client_.interp.AbortRequested);
  EXPECT_FALSE(client_.interp.BreakAllRequested);
  // The next batch runs whole.
  host_.main.clear();
  client_.ExecuteCommand("/echo one;/echo two", false);
  EXPECT_EQ(host_.main, "one\r\ntwo\r\n");
}

TEST_F(RunawayTest, ABreakAllInsideTheBatchOnlyStopsLoops) {
  client_.ExecuteCommand("/set n=0", false);
  client_.ExecuteCommand("/while (1=1) {/inc n;/if (%n>2) {/breakall}};/echo after", false);
  EXPECT_EQ(client_.store.Var("default.n"), "3");
  EXPECT_NE(host_.main.find("after\r\n"), std::string::npos);
  // A hotkey's "/breakall" at rest is forgotten when its batch ends.
  client_.interp.RaiseDepth();
  client_.ExecuteCommand("/breakall", false);
  client_.interp.LowerDepth();
  host_.main.clear();
  client_.ExecuteCommand("/set n=0;/while (%n<2) {/inc n};/echo %n", false);
  EXPECT_EQ(host_.main, "2\r\n");
}

TEST_F(RunawayTest, TheWayOutWorksEvenAtTheDeepestLevel) {
  // A macro that sends at every level lets the message loop run where the
  // depth is already at its limit.
  client_.connection.OnConnected();
  client_.ExecuteCommand("/set macro s={north;s;s}", false);
  TypeLater("/breakall", 2000);
  client_.ExecuteCommand("s", true);
  EXPECT_TRUE(host_.pump.empty());
  EXPECT_EQ(client_.interp.CommandDepth, 0);
}

TEST_F(RunawayTest, FunctionCallsNestedFarTooDeepEndTheStatementWithAMessage) {
  client_.ExecuteCommand("/set func \"f(x)\"={/set local.result=%local.x}", false);
  auto nested = [](int depth) {
    std::string s = "/echo ";
    for (int i = 0; i < depth; ++i) s += "%f(";
    s += "7";
    s.append(static_cast<std::size_t>(depth), ')');
    return s;
  };
  client_.ExecuteCommand(nested(50), false);
  EXPECT_EQ(host_.main, "7\r\n");
  host_.main.clear();
  client_.ExecuteCommand(nested(100000) + ";/echo next", false);
  EXPECT_EQ(Count(std::string("слишком много вложенных команд"_cp)), 1);
  EXPECT_NE(host_.main.find("next\r\n"), std::string::npos);
  EXPECT_EQ(client_.interp.CommandDepth, 0);
  // The same through a trigger, as game text would bring it.
  host_.main.clear();
  client_.store.Triggers().Add("default.Сказал %0=/echo %0"_cp.data());
  std::string line = "Сказал "_cp.data();
  line += nested(100000).substr(6) + "\r\n";
  client_.incoming.ProcessIncoming(line);
  EXPECT_EQ(Count(std::string("слишком много вложенных команд"_cp)), 1);
  EXPECT_EQ(client_.interp.CommandDepth, 0);
}

}  // namespace
}  // namespace tarnel::test
