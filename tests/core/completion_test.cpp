// What the command line offers after a pause: the candidates for the last
// word in their order, and what the first one adds.

#include <gtest/gtest.h>

#include "input/completion.h"
#include "test_host.h"

namespace tarnel::test {
namespace {

class CompletionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    client_.DefaultProfile();
    client_.store.Variables().SetValue("global._logfile", "");
  }
  std::string Added(std::string_view text) { return CompletionFor(client_, text).value_or("<none>"); }
  TestHost host_;
  Client client_{host_};
};

TEST_F(CompletionTest, CommandNamesCompleteWithABlank) {
  EXPECT_EQ(Added("/con"), "nect ");
  EXPECT_EQ(Added("/quit"), " ");       // the word is whole: the blank after it
  EXPECT_EQ(Added("/qx"), "<none>");
  EXPECT_EQ(Added("/con "), "<none>");  // a trailing blank is never completed
  // An empty line stays empty: Enter on it must still send an empty line
  // to the game, not "/man".
  EXPECT_EQ(Added(""), "<none>");
  // "/man " goes first among the names that begin with "/m".
  const std::vector<std::string> m = CompletionCandidates(client_, "/ma");
  ASSERT_FALSE(m.empty());
  EXPECT_EQ(m.front(), "/man ");
}

TEST_F(CompletionTest, RecordedArgumentsFollowTheirCommandWord) {
  client_.store.Arguments().Add("autoarg.fireball=cast");
  client_.store.Arguments().Add("autoarg.fire=kick");
  EXPECT_EQ(Added("cast fi"), "reball ");
  // The default profile's address follows "/connect".
  EXPECT_EQ(Added("/connect mu"), "d.example.org 4000 ");
  // A switched-off group offers nothing.
  client_.store.Groups().SetValue("group.autoarg", "off");
  EXPECT_EQ(Added("cast fi"), "<none>");
}

TEST_F(CompletionTest, VariablesAfterSetAndPercent) {
  client_.ExecuteCommand("/set hp=10", false);
  client_.ExecuteCommand("/set global.maxhp=20", false);
  EXPECT_EQ(Added("/set h"), "otkey ");  // kind words sort before "hp="
  const std::vector<std::string> set = CompletionCandidates(client_, "/set h");
  EXPECT_NE(std::find(set.begin(), set.end(), "hp="), set.end());
  client_.ExecuteCommand("/set zz=1", false);
  EXPECT_EQ(Added("say %z"), "z");
  // Full names come too, in their sorted place ("%highlights._autosave"
  // before "%hp").
  const std::vector<std::string> pct = CompletionCandidates(client_, "say %h");
  EXPECT_NE(std::find(pct.begin(), pct.end(), "%hp"), pct.end());
  // Inside a word, "%" starts the variable: "x%glob" offers the group.
  EXPECT_EQ(Added("say x%global.max"), "hp");
  EXPECT_EQ(Added("/set global.ma"), "xhp=");
}

TEST_F(CompletionTest, EntryListsByTheirKindWord) {
  client_.ExecuteCommand("/set macro kk=kill", false);
  client_.ExecuteCommand("/set macro fight.kick=kick", false);
  EXPECT_EQ(Added("/free macro k"), "k=");
  EXPECT_EQ(Added("/free macro fight.k"), "ick=");
  EXPECT_EQ(Added("/set group ma"), "p=");
}

}  // namespace
}  // namespace tarnel::test
