// Standard telnet servers: negotiations out of the text and refused, lines
// with CR LF and a doubled 0xFF; and passwords, which are never shown,
// logged or kept, whichever mode the connection is in.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "net/telnet_pass.h"
#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

using namespace literals;
namespace fs = std::filesystem;

// What TinyMUX says at connect, the start of a session as such servers open
// it: options asked for and offered, a subnegotiation, then the banner.
const std::string kGreeting =
    "\xFF\xFD\x18"              // DO TERMINAL-TYPE
    "\xFF\xFD\x1F"              // DO NAWS
    "\xFF\xFB\x03"              // WILL SUPPRESS-GO-AHEAD
    "\xFF\xFD\x27"              // DO NEW-ENVIRON
    "\xFF\xFA\x18\x01\xFF\xF0"  // SB TERMINAL-TYPE SEND SE
    "\xFF\xF1"                  // NOP
    "Welcome \xFF\xFF!\r\n"
    "\xFF\xFA\x2A\x01\xFF\xFF\x02\xFF\xF0"  // a subnegotiation holding a doubled IAC
    "prompt>\xFF\xF9";
const std::string kShown = "Welcome \xFF!\r\nprompt>\x01\x01";
const std::string kAnswers =
    "\xFF\xFC\x18"
    "\xFF\xFC\x1F"
    "\xFF\xFE\x03"
    "\xFF\xFC\x27";

TEST(StandardTelnetPass, NegotiationsLeaveTheTextAndEveryOptionIsRefused) {
  TelnetPass pass;
  pass.SetStandard(true);
  EXPECT_EQ(pass.Pass(kGreeting), kShown);
  EXPECT_EQ(pass.TakeAnswers(), kAnswers);
  EXPECT_EQ(pass.TakeAnswers(), "");
  // An IAC before a byte that is no command loses neither byte.
  EXPECT_EQ(pass.Pass("a\xFF"
                      "bc"),
            "a\xFF"
            "bc");
  // The server's offers to do nothing are not answered.
  EXPECT_EQ(pass.Pass("\xFF\xFC\x05\xFF\xFE\x05x"), "x");
  EXPECT_EQ(pass.TakeAnswers(), "");
}

TEST(StandardTelnetPass, WhereTheStreamIsCutChangesNothing) {
  for (std::size_t cut = 0; cut <= kGreeting.size(); ++cut) {
    for (std::size_t cut2 = cut; cut2 <= kGreeting.size(); cut2 += 3) {
      TelnetPass pass;
      pass.SetStandard(true);
      std::string shown = pass.Pass(kGreeting.substr(0, cut));
      shown += pass.Pass(kGreeting.substr(cut, cut2 - cut));
      shown += pass.Pass(kGreeting.substr(cut2));
      EXPECT_EQ(shown, kShown) << cut << " " << cut2;
      EXPECT_EQ(pass.TakeAnswers(), kAnswers) << cut << " " << cut2;
    }
  }
}

TEST(StandardTelnetPass, TheServersEchoIsAcceptedAndEachChangeAnsweredOnce) {
  TelnetPass pass;
  pass.SetStandard(true);
  EXPECT_EQ(pass.Pass("Password: \xFF\xFB\x01"), "Password: ");
  EXPECT_TRUE(pass.ServerEchoes());
  EXPECT_EQ(pass.TakeAnswers(), "\xFF\xFD\x01");  // DO ECHO
  pass.Pass("\xFF\xFB\x01");
  EXPECT_EQ(pass.TakeAnswers(), "");  // already so: no answer, no loop
  EXPECT_EQ(pass.Pass("\r\n\xFF\xFC\x01Hi"), "\r\nHi");
  EXPECT_FALSE(pass.ServerEchoes());
  EXPECT_EQ(pass.TakeAnswers(), "\xFF\xFE\x01");  // DONT ECHO
  // The client does not echo for the server.
  pass.Pass("\xFF\xFD\x01");
  EXPECT_EQ(pass.TakeAnswers(), "\xFF\xFC\x01");
  EXPECT_FALSE(pass.ServerEchoes());
}

TEST(StandardTelnetPass, SwitchingModesKeepsAHeldIacAndDropsAHalfNegotiation) {
  TelnetPass pass;
  EXPECT_EQ(pass.Pass("a\xFF"), "a");
  pass.SetStandard(true);
  EXPECT_EQ(pass.Pass("\xFF"
                      "b"),
            "\xFF"
            "b");
  EXPECT_EQ(pass.Pass("c\xFF\xFA\x18"), "c");
  pass.SetStandard(false);
  EXPECT_EQ(pass.Pass("d\xFF\xF0"), "d\xFF\xF0");
  EXPECT_EQ(pass.Flush(), "");
}

struct SecretHost : TestHost {
  std::vector<bool> secret;
  void SetSecretInput(bool on) override { secret.push_back(on); }
};

class TelnetConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarnel-telnet-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    client_.DefaultProfile();
    client_.store.Variables().SetValue("global._logfile", (dir_ / "game.log").string());
    client_.RefreshPanels();
    client_.ExecuteCommand("/connect mud 4000", false);
    client_.connection.OnConnected();
    host_.sent.clear();
    host_.main.clear();
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Log() {
    std::ifstream in(dir_ / "game.log", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
  void Telnet(bool on) {
    client_.ExecuteCommand(on ? "/set global._telnet=on" : "/free global._telnet", false);
  }

  fs::path dir_;
  SecretHost host_;
  Client client_{host_};
};

TEST_F(TelnetConnectionTest, LinesEndWithCrLfAndADoubledIacOnlyWhenAskedFor) {
  const std::string line = Cp("say мягких Я"_cp);
  client_.ExecuteCommand(line, false);
  client_.ExecuteCommand("/send " + line, false);
  Telnet(true);
  client_.ExecuteCommand(line, false);
  client_.ExecuteCommand("/send " + line, false);
  ASSERT_EQ(host_.sent.size(), 4u);
  EXPECT_EQ(host_.sent[0], line + "\r");
  EXPECT_EQ(host_.sent[1], line + "\r");
  EXPECT_EQ(host_.sent[2], Cp("say м"_cp) + "\xFF\xFF" + Cp("гких Я\r\n"_cp));
  EXPECT_EQ(host_.sent[3], host_.sent[2]);
  // Turned off again, the next line is the game servers' kind once more.
  Telnet(false);
  client_.ExecuteCommand("north", false);
  EXPECT_EQ(host_.sent.back(), "north\r");
}

TEST_F(TelnetConnectionTest, TheServersNegotiationIsAnsweredAndNeverShownOrLogged) {
  Telnet(true);
  client_.connection.OnRead(kGreeting.substr(0, 10));
  client_.connection.OnRead(kGreeting.substr(10));
  std::string sent;
  for (const std::string& s : host_.sent) sent += s;
  EXPECT_EQ(sent, kAnswers);
  EXPECT_EQ(Render(host_.main), "Welcome я!\nprompt>");
  EXPECT_EQ(Log().find('\xFF'), Log().find("\xFF!"));
  EXPECT_EQ(Log().find('\x18'), std::string::npos);
  // The default mode leaves the bytes and answers nothing, as before.
  Telnet(false);
  host_.sent.clear();
  host_.main.clear();
  client_.connection.OnRead("\xFF\xFD\x18x");
  EXPECT_TRUE(host_.sent.empty());
  EXPECT_EQ(host_.main, "\xFF\xFD\x18x");
}

TEST_F(TelnetConnectionTest, APasswordIsNeitherShownNorLoggedInEitherMode) {
  for (const bool standard : {false, true}) {
    Telnet(standard);
    host_.sent.clear();
    host_.main.clear();
    host_.secret.clear();
    client_.connection.OnRead("Password: \xFF\xFB\x01");
    EXPECT_TRUE(client_.connection.ServerEchoes());
    EXPECT_EQ(host_.secret, std::vector<bool>{true});
    client_.ExecuteCommand("potrzebie", true);
    client_.ExecuteCommand("/send potrzebie2", true);
    ASSERT_GE(host_.sent.size(), 2u);
    EXPECT_EQ(host_.sent[host_.sent.size() - 2].substr(0, 10), "potrzebie\r");
    EXPECT_EQ(host_.sent.back().substr(0, 11), "potrzebie2\r");
    EXPECT_EQ(host_.main.find("potrzebie"), std::string::npos) << Render(host_.main);
    EXPECT_EQ(Log().find("potrzebie"), std::string::npos);
    client_.connection.OnRead("\r\n\xFF\xFC\x01Welcome!\r\n");
    EXPECT_FALSE(client_.connection.ServerEchoes());
    EXPECT_EQ(host_.secret, (std::vector<bool>{true, false}));
    client_.ExecuteCommand("look", true);
    EXPECT_NE(host_.main.find("look\r\n"), std::string::npos);
  }
  // A connection that ends in the middle of a password ends the secrecy.
  client_.connection.OnRead("\xFF\xFB\x01");
  host_.secret.clear();
  client_.connection.OnDisconnected();
  EXPECT_EQ(host_.secret, std::vector<bool>{false});
  EXPECT_FALSE(client_.connection.ServerEchoes());
}

}  // namespace
}  // namespace tarnel::test
