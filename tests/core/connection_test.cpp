// The connection's commands and socket events, driven by hand on a host
// whose socket only records what it is asked to do.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "../support/zlib_stream.h"
#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

using namespace literals;

struct SocketHost : TestHost {
  std::vector<std::string> calls;
  void SocketOpen(const std::string& host, int port) override {
    calls.push_back("open " + host + ":" + std::to_string(port));
  }
  void SocketClose() override { calls.push_back("close"); }
};

class ConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    client_.DefaultProfile();
    client_.store.Variables().SetValue("global._logfile", "");
    client_.RefreshPanels();
  }
  Connection& Conn() { return client_.connection; }
  void Connect(const std::string& host = "mud", int port = 4000) {
    client_.ExecuteCommand("/connect " + host + " " + std::to_string(port), false);
    Conn().OnConnecting();
    Conn().OnConnected();
  }
  std::string Shown() { return Render(host_.main); }

  SocketHost host_;
  Client client_{host_};
};

TEST_F(ConnectionTest, ConnectRefusesBadParametersAndLeavesTheConnectionAlone) {
  Connect();
  host_.calls.clear();
  for (const char* bad :
       {"/connect somehost", "/connect somehost abc", "/connect somehost 0", "/connect a 1 c",
        "/connect \"\" 4000", "/connect somehost 70000", "/connect somehost -23"}) {
    host_.main.clear();
    client_.ExecuteCommand(bad, false);
    EXPECT_EQ(Shown(), "\\e[0;37m** <stamp> ** Ошибка в параметрах, /man /connect для справки.\n")
        << bad;
  }
  EXPECT_TRUE(host_.calls.empty());
  EXPECT_TRUE(Conn().Active());
}

TEST_F(ConnectionTest, ANewConnectClosesTheOldOneFirst) {
  Connect();
  host_.main.clear();
  host_.calls.clear();
  client_.ExecuteCommand("/connect somehost 4001", false);
  Conn().OnConnecting();
  EXPECT_EQ(host_.calls, (std::vector<std::string>{"close", "open somehost:4001"}));
  EXPECT_EQ(Shown(),
            "\\e[0;37m** <stamp> ** Текущее соединение разорвано.\n"
            "\\e[0;37m** <stamp> ** Попытка соединения с somehost:4001...\n");
  EXPECT_TRUE(Conn().Connecting());
  // "/disconnect" and "/zap" close without a message of their own.
  host_.main.clear();
  client_.ExecuteCommand("/zap", false);
  EXPECT_EQ(Shown(), "\\e[0;37m** <stamp> ** Текущее соединение разорвано.\n");
  client_.ExecuteCommand("/disconnect", false);
  EXPECT_EQ(Shown(), "\\e[0;37m** <stamp> ** Текущее соединение разорвано.\n");
}

TEST_F(ConnectionTest, ConnectingRunsEveryGroupsStartUpScriptAndSetsTheCaption) {
  TStringList& vars = client_.store.Variables();
  TStringList& groups = client_.store.Groups();
  groups.SetValue("group.default", "on");
  groups.Add("group.quiet=off");
  groups.Add("group.plain=on");
  vars.Add("quiet._init=/set ran.quiet=1");
  vars.Add("default._init=/set ran.default=1;/echo hello");
  client_.store.Macros().Add("plain.m=x");  // a group without a start-up script
  client_.ExecuteCommand("/connect mud.example.org 4000", false);
  Conn().OnConnected();
  EXPECT_EQ(client_.store.Var("ran.quiet"), "1");
  EXPECT_EQ(client_.store.Var("ran.default"), "1");
  EXPECT_EQ(Shown(),
            "\\e[0;37m** <stamp> ** Установлено соединение mud.example.org:4000.\nhello\n");
  EXPECT_EQ(client_.store.Var("global._caption"), "mud.example.org:4000");
  EXPECT_EQ(host_.Title(), "mud.example.org:4000");
  EXPECT_EQ(client_.interp.CommandDepth, 0);
  EXPECT_EQ(client_.interp.BusyIndicator(), '>');

  // The server hangs up: the title goes back.
  host_.main.clear();
  Conn().OnDisconnected();
  EXPECT_EQ(host_.Title(), "Tarnel MUD Client");
  EXPECT_EQ(Shown(), "\\e[0;37m** <stamp> ** Текущее соединение разорвано.\n");
  EXPECT_FALSE(Conn().Active());
}

TEST_F(ConnectionTest, AFailedAttemptReportsItsErrorNumberAndReason) {
  client_.ExecuteCommand("/connect mud 4000", false);
  host_.main.clear();
  Conn().OnError(ECONNREFUSED);
  const std::string refused = "\\e[0;37m** <stamp> ** Ошибка " + std::to_string(ECONNREFUSED) +
                              " (соединение отвергнуто).\n";
  EXPECT_EQ(Shown(), refused);
  EXPECT_EQ(Conn().GetState(), Connection::State::Disconnected);
  // A late disconnect notice of the failed attempt says nothing.
  Conn().OnDisconnected();
  EXPECT_EQ(Shown(), refused);
  // A name that cannot be looked up has a number no errno value has.
  host_.main.clear();
  Conn().OnError(kHostNotFound);
  EXPECT_EQ(Shown(), "\\e[0;37m** <stamp> ** Ошибка 11001 (узел не найден).\n");
  EXPECT_NE(kHostNotFound, EHOSTUNREACH);
  // An errno without words of its own keeps the bare form.
  host_.main.clear();
  Conn().OnError(ENOTSOCK);
  EXPECT_EQ(Shown(), "\\e[0;37m** <stamp> ** Ошибка " + std::to_string(ENOTSOCK) + ".\n");
}

TEST_F(ConnectionTest, LinesGoOutWithOneCrAndBytesUnchanged) {
  client_.ExecuteCommand("north", true);
  EXPECT_EQ(Shown(), "north\n\\e[0;37m** <stamp> ** Соединение не установлено.\n");
  EXPECT_TRUE(host_.sent.empty());
  Connect();
  host_.main.clear();
  client_.ExecuteCommand("north", true);
  client_.ExecuteCommand("//quit", false);
  client_.ExecuteCommand(std::string("скажи я"_cp), false);
  client_.ExecuteCommand("/send {a;b}", false);
  EXPECT_EQ(host_.sent,
            (std::vector<std::string>{"north\r", "/quit\r", std::string("скажи я\r"_cp), "a;b\r"}));
  EXPECT_EQ(Shown(), "north\na;b\n");
}

TEST_F(ConnectionTest, CompressionIsAnnouncedWhereItStartsAndReportedWhereItBreaks) {
  Connect();
  host_.main.clear();
  Deflater server;
  Conn().OnRead("abc\r\n" + std::string(kOfferV2) + std::string(kStartV2) +
                server.Write("compressed\r\n"));
  EXPECT_EQ(host_.sent, (std::vector<std::string>{std::string(kDoV2)}));
  EXPECT_EQ(Shown(), "abc\n\n\\e[0;37m** <stamp> ** используется протокол MCCP.\ncompressed\n");
  host_.main.clear();
  Conn().OnRead("\xFF\x13garbage");
  EXPECT_EQ(Shown(), "\n\\e[0;37m** <stamp> ** Ошибка: MCCP, ошибка при декомпрессии данных.\n" +
                         Render("\xFF\x13garbage"));

  // After the disconnect the next connection starts uncompressed.
  Conn().OnDisconnected();
  Connect();
  host_.main.clear();
  Conn().OnRead("plain\r\n");
  EXPECT_EQ(Shown(), "plain\n");
}

TEST_F(ConnectionTest, WithCompressionSwitchedOffOffersStayInTheText) {
  client_.store.Variables().SetValue("global._mccp", "off");
  client_.RefreshPanels();
  Connect();
  host_.main.clear();
  host_.sent.clear();
  Conn().OnRead("x" + std::string(kOfferV2) + "\xFF\xFB\x01y");
  EXPECT_TRUE(host_.sent.empty());
  EXPECT_EQ(host_.main, "x" + std::string(kOfferV2) + "\xFF\xFB\x01y");
}

}  // namespace
}  // namespace tarnel::test

namespace tarnel::test {
namespace {

using namespace literals;

TEST(Certificates, FirstUseIsKeptTheSameOneKnownAnotherRefusedUntilForgotten) {
  TestHost host;
  const std::filesystem::path dir =
      std::filesystem::path(::testing::TempDir()) / ("tarnel-certificates-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  host.dir = dir.string();
  Client c{host};
  c.DefaultProfile();
  c.store.Variables().SetValue("global._logfile", "");
  // Without TLS on this host the connection is not opened at all.
  c.store.Variables().SetValue("global._tls", "on");
  c.ExecuteCommand("/connect mud 4443", false);
  EXPECT_EQ(c.connection.GetState(), Connection::State::Disconnected);
  EXPECT_NE(Render(host.main).find("TLS недоступен"), std::string::npos) << Render(host.main);

  Connection& conn = c.connection;
  const std::string first = "AA:BB:01", other = "CC:DD:02";
  EXPECT_EQ(conn.CheckCertificate(first), Connection::Certificate::FirstUse);
  conn.OnCertificate(Connection::Certificate::FirstUse, first);
  EXPECT_EQ(c.settings.GetValue("tls.mud:4443"), first);
  EXPECT_NE(Render(host.main).find("отпечаток SHA-256: AA:BB:01"), std::string::npos);
  // Kept in the settings file at once.
  TStringList saved;
  ASSERT_TRUE(saved.LoadFromFile(c.SettingsPath()));
  EXPECT_EQ(saved.GetValue("tls.mud:4443"), first);

  EXPECT_EQ(conn.CheckCertificate(first), Connection::Certificate::Known);
  EXPECT_EQ(conn.CheckCertificate(other), Connection::Certificate::Changed);
  EXPECT_EQ(c.settings.GetValue("tls.mud:4443"), first);
  host.main.clear();
  conn.OnCertificate(Connection::Certificate::Changed, other);
  EXPECT_NE(Render(host.main).find("/forgetcert mud 4443."), std::string::npos) << Render(host.main);

  host.main.clear();
  c.ExecuteCommand("/forgetcert mud 4443", false);
  EXPECT_NE(Render(host.main).find("забыт"), std::string::npos) << Render(host.main);
  EXPECT_EQ(c.settings.IndexOfName("tls.mud:4443"), -1);
  EXPECT_EQ(conn.CheckCertificate(other), Connection::Certificate::FirstUse);
  host.main.clear();
  c.ExecuteCommand("/forgetcert elsewhere 4443", false);
  EXPECT_NE(Render(host.main).find("не запомнен"), std::string::npos);
  c.ExecuteCommand("/forgetcert mud", false);
  EXPECT_NE(Render(host.main).find("/man /forgetcert"), std::string::npos);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tarnel::test
