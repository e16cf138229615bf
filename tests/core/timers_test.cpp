// The tick and the one-second timer on a clock the test turns by hand.

#include <gtest/gtest.h>

#include "test_host.h"

namespace tarnel::test {
namespace {

class TimersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    client_.DefaultProfile();
    client_.store.Variables().SetValue("global._logfile", "");
    client_.ExecuteCommand("/connect mud 4000", false);
    client_.connection.OnConnected();
    host_.sent.clear();
  }
  void Seconds(int n) {
    for (int i = 0; i < n; ++i) client_.OnTimer(TimerId::Second);
  }
  TestHost host_;
  Client client_{host_};
};

TEST_F(TimersTest, AOneShotTimerRunsWhenItsCountIsOutAndGoes) {
  client_.ExecuteCommand("/set timers.look=3", false);
  Seconds(2);
  EXPECT_TRUE(host_.sent.empty());
  EXPECT_EQ(client_.store.Var("timers.look"), "1");
  Seconds(1);
  EXPECT_EQ(host_.sent, std::vector<std::string>{"look\r"});
  EXPECT_EQ(client_.store.Variables().IndexOfName("timers.look"), -1);
  // A count of nothing, or one that is no number, runs at the next second.
  client_.ExecuteCommand("/set timers.north=0", false);
  client_.ExecuteCommand("/set timers.south=soon", false);
  Seconds(1);
  EXPECT_EQ(host_.sent, (std::vector<std::string>{"look\r", "north\r", "south\r"}));
}

TEST_F(TimersTest, TimersOfTheSameSecondRunInListOrderAndTheNextOneIsNotSkipped) {
  client_.ExecuteCommand("/set timers.first=1", false);
  client_.ExecuteCommand("/set timers.second=1", false);
  client_.ExecuteCommand("/set timers.third=2", false);
  Seconds(1);
  EXPECT_EQ(host_.sent, (std::vector<std::string>{"first\r", "second\r"}));
  EXPECT_EQ(client_.store.Var("timers.third"), "1");
}

TEST_F(TimersTest, ATimerThatSetsItselfAgainRepeats) {
  client_.ExecuteCommand("/set macro ping={/set timers.ping=3;score}", false);
  client_.ExecuteCommand("/set timers.ping=1", false);
  Seconds(7);
  // It runs at once; set anew at the end of the list, it is counted down in
  // the same second, so every second second after that.
  EXPECT_EQ(host_.sent, (std::vector<std::string>{"score\r", "score\r", "score\r", "score\r"}));
}

TEST_F(TimersTest, TheTickRunsItsCommandOnlyWhileConnected) {
  client_.ExecuteCommand("/set global._tick=60", false);
  EXPECT_EQ(host_.timers[TimerId::Tick], 60000);
  client_.ExecuteCommand("/set global._tickstring=score", false);
  client_.OnTimer(TimerId::Tick);
  EXPECT_EQ(host_.sent, std::vector<std::string>{"score\r"});
  // Echo on: the player sees what the tick sent.
  EXPECT_NE(host_.main.find("score\r\n"), std::string::npos);
  client_.connection.OnDisconnected();
  client_.OnTimer(TimerId::Tick);
  EXPECT_EQ(host_.sent.size(), 1u);
  // Not a number: the tick never fires.
  client_.ExecuteCommand("/set global._tick=often", false);
  EXPECT_EQ(host_.timers[TimerId::Tick], 0);
}

TEST_F(TimersTest, AnEmptyTickCommandSendsAnEmptyLine) {
  client_.ExecuteCommand("/set global._tickstring=", false);
  client_.OnTimer(TimerId::Tick);
  EXPECT_EQ(host_.sent, std::vector<std::string>{"\r"});
}

TEST_F(TimersTest, TheOneSecondTimerRunsFromTheStart) {
  TestHost host;
  Client c(host);
  c.Create({});
  EXPECT_EQ(host.timers[TimerId::Second], 1000);
}

}  // namespace
}  // namespace tarnel::test
