// The connection over real sockets: the Qt socket delivering its events to
// the core, against the scripted test server on 127.0.0.1.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "net_client.h"
#include "support/test_server.h"

namespace tarnel::test {
namespace {

using namespace literals;

std::string S(std::string_view cp1251) { return std::string(cp1251); }

// A port on which nothing listens.
int ClosedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  close(fd);
  return ntohs(address.sin_port);
}

TEST(SocketTest, APlayerPlaysASession) {
  TestServer server(
      S("line \\e[1;33mWelcome to the test realm!\\e[0m\n"
        "prompt Name: \n"
        "ga\n"
        "expect Hero\\r\n"
        "line Hello, Hero.\n"
        "line Вася говорит: привет\n"
        "expect north\\r\n"
        "expect /quit\\r\n"
        "line Bye!\n"
        "close\n"_cp));
  NetClient c;
  c.AddTrigger("default.%1 говорит: %2=north"_cp);
  c.Connect(server.Port());
  ASSERT_TRUE(c.WaitForText("Name: ")) << Render(c.host.main);
  EXPECT_EQ(c.host.Title(), "127.0.0.1:" + std::to_string(server.Port()));
  c.Type("Hero");
  ASSERT_TRUE(c.WaitForText("Hello, Hero.\r\n"));
  c.Type("//quit");
  ASSERT_TRUE(c.WaitForDisconnect());
  EXPECT_EQ(server.Wait(), "Hero\rnorth\r/quit\r") << Render(c.host.main);
  EXPECT_TRUE(server.Succeeded()) << server.Diagnostics();

  const std::string port = std::to_string(server.Port());
  const std::string shown = Render(c.host.main);
  for (const std::string& part :
       {"** <stamp> ** Попытка соединения с 127.0.0.1:" + port + "...\n",
        "** <stamp> ** Установлено соединение 127.0.0.1:" + port + ".\n",
        std::string("\\e[1;33mWelcome to the test realm!\\e[0m\nName: Hero\n"),
        std::string("Bye!\n"), std::string("** <stamp> ** Текущее соединение разорвано.\n")})
    EXPECT_NE(shown.find(part), std::string::npos) << part << "\n---\n" << shown;
  EXPECT_LT(shown.find("Попытка"), shown.find("Установлено"));
  EXPECT_EQ(c.host.Title(), "Tarnel MUD Client");
}

TEST(SocketTest, ARefusedConnectionReportsItsErrno) {
  NetClient c;
  c.Connect(ClosedPort());
  ASSERT_TRUE(c.WaitForText(" ** Ошибка "_cp));
  EXPECT_TRUE(c.WaitForDisconnect());
  EXPECT_NE(c.host.main.find(S(" ** Ошибка "_cp) + std::to_string(ECONNREFUSED) +
                             S(" (соединение отвергнуто).\r\n"_cp)),
            std::string::npos)
      << Render(c.host.main);
  EXPECT_EQ(c.Count("разорвано"_cp), 0);
  c.Type("north");
  EXPECT_NE(c.host.main.find("Соединение не установлено."_cp), std::string::npos);
}

// The body of a session; a compressed one must show exactly the same text.
const char* const kStory =
    "line \\e[1;32mcompressed text\\e[0m \\{ with braces \\}\n"
    "prompt HP:100> \n"
    "ga\n"
    "line {IAC}{IAC} is the letter ya\n";

TEST(SocketTest, CompressedSessionsShowWhatPlainOnesShow) {
  const std::string body = std::string(kStory) + "burst 3000\n";
  TestServer plain(body + body + body + "close\n");
  NetClient p;
  p.Connect(plain.Port());
  ASSERT_TRUE(p.WaitForDisconnect());

  // Version 2 offered before version 1 (which is refused), ended and
  // started again.  Both answers go out at once, before the server sends
  // anything more.
  TestServer v2(
      "offer compress2\noffer compress\nexpect {IAC}{DONT}{COMPRESS}\nexpect {IAC}{DO}{COMPRESS2}\n"
      "start compress2\n" +
      body + "end compress\n" + body + "start compress2\n" + body + "end compress\nclose\n");
  NetClient c;
  c.Connect(v2.Port());
  ASSERT_TRUE(c.WaitForDisconnect());
  EXPECT_EQ(v2.Wait(), "\xFF\xFE\x55\xFF\xFD\x56");
  EXPECT_TRUE(v2.Succeeded()) << v2.Diagnostics();
  EXPECT_EQ(c.Count("используется протокол MCCP."_cp), 2);
  EXPECT_EQ(c.GameText(), p.GameText());

  // Version 1 offered first: both are accepted, and the server picks.
  TestServer v1(
      "offer compress\noffer compress2\nexpect {IAC}{DO}{COMPRESS}\nexpect {IAC}{DO}{COMPRESS2}\n"
      "start compress\n" +
      body + body + body + "end compress\nclose\n");
  NetClient d;
  d.Connect(v1.Port());
  ASSERT_TRUE(d.WaitForDisconnect());
  EXPECT_EQ(v1.Wait(), "\xFF\xFD\x55\xFF\xFD\x56");
  EXPECT_TRUE(v1.Succeeded()) << v1.Diagnostics();
  EXPECT_EQ(d.Count("используется протокол MCCP."_cp), 1);
  EXPECT_EQ(d.GameText(), p.GameText());
}

TEST(SocketTest, SequencesCutAcrossReadsAreStillUnderstood) {
  TestServer server(
      S("send \\e[1;3\n"
        "split\n"
        "send 2mYellow\\e[0m\\r\\nPrompt>{IAC}\n"
        "split 50\n"
        "send {GA}x{IAC}\n"
        "split 50\n"
        "send {IAC}y\\r\\n\n"
        "offer compress2\n"
        "expect {IAC}{DO}{COMPRESS2}\n"
        "chunk 2\n"
        "start compress2\n"
        "line small pieces of a compressed stream\n"
        "close\n"_cp));
  NetClient c;
  c.AddTrigger("default.^Yellow$=/set yellow=1");
  c.AddTrigger("default.^Prompt>$=/set prompt=1");
  c.AddTrigger("default.^xяy$=/set ya=1"_cp);
  c.Connect(server.Port());
  ASSERT_TRUE(c.WaitForDisconnect());
  EXPECT_EQ(server.Wait(), "\xFF\xFD\x56");
  EXPECT_TRUE(server.Succeeded()) << server.Diagnostics();
  EXPECT_EQ(c.client.store.Var("default.yellow"), "1") << Render(c.host.main);
  EXPECT_EQ(c.client.store.Var("default.prompt"), "1");
  EXPECT_EQ(c.client.store.Var("default.ya"), "1");
  EXPECT_EQ(c.Count("используется протокол MCCP."_cp), 1);
  EXPECT_NE(c.host.main.find("small pieces of a compressed stream\r\n"), std::string::npos)
      << Render(c.host.main);
  EXPECT_EQ(c.host.main.find('\x01'), std::string::npos);
}

TEST(SocketTest, AUtf8ServerIsReadAndAnsweredInItsOwnEncoding) {
  // Every byte in a read of its own, so letters are cut wherever they can be.
  const std::string hello = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";  // "Привет"
  TestServer server("chunk 1\nline " + hello + ", \xD0\xB3\xD0\xB5\xD1\x80\xD0\xBE\xD0\xB9 \xE2\x99\xA5\n"
                    "expect " + hello + "\\r\nclose\n");
  NetClient c;
  c.client.store.Variables().SetValue("global._charset", "utf-8");
  c.AddTrigger("default.^Привет, герой ?$=Привет"_cp);
  c.Connect(server.Port());
  ASSERT_TRUE(c.WaitForDisconnect());
  EXPECT_EQ(server.Wait(), hello + "\r");
  EXPECT_TRUE(server.Succeeded()) << server.Diagnostics();
  EXPECT_NE(c.host.main.find("Привет, герой ?\r\n"_cp), std::string::npos) << Render(c.host.main);
}

TEST(SocketTest, AKoiServerIsReadAndAnsweredInItsOwnEncoding) {
  const std::string hello = "\xF0\xD2\xC9\xD7\xC5\xD4";  // "Привет" in KOI8-R
  TestServer server("chunk 1\nline " + hello + ", \xC7\xC5\xD2\xCF\xCA\nexpect " + hello + "\\r\nclose\n");
  NetClient c;
  c.client.store.Variables().SetValue("global._charset", "koi8-r");
  c.AddTrigger("default.^Привет, герой$=Привет"_cp);
  c.Connect(server.Port());
  ASSERT_TRUE(c.WaitForDisconnect());
  EXPECT_EQ(server.Wait(), hello + "\r");
  EXPECT_TRUE(server.Succeeded()) << server.Diagnostics();
}

TEST(SocketTest, ReadBoundariesChangeNothingOnScreen) {
  const std::string story = "offer compress2\nexpect {IAC}{DO}{COMPRESS2}\n" + std::string(kStory) +
                            "start compress2\n" + kStory + "end compress\n" + kStory + "close\n";
  TestServer whole(story);
  TestServer pieces("chunk 3 2\n" + story);
  NetClient a, b;
  for (NetClient* c : {&a, &b}) c->client.store.Variables().SetValue("global._prompt", "");
  a.Connect(whole.Port());
  b.Connect(pieces.Port());
  ASSERT_TRUE(a.WaitForDisconnect());
  ASSERT_TRUE(b.WaitForDisconnect());
  // Everything after the connect messages, which name the port.
  const auto after_connect = [](const std::string& text) {
    return Render(text.substr(text.find("\r\n", text.find("Установлено соединение"_cp)) + 2));
  };
  EXPECT_EQ(after_connect(a.host.main), after_connect(b.host.main));
  EXPECT_EQ(a.Count("используется протокол MCCP."_cp), 1);
}

TEST(SocketTest, ACorruptStreamIsReportedAndThePlayGoesOn) {
  TestServer server(
      "line abc\nstart compress2\nline good\ncorrupt 32\nsleep 100\nline more\nclose\n");
  NetClient c;
  c.Connect(server.Port());
  ASSERT_TRUE(c.WaitForDisconnect());
  server.Wait();
  EXPECT_TRUE(server.Succeeded()) << server.Diagnostics();
  const std::string shown = Render(c.host.main);
  EXPECT_NE(shown.find("abc\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("good\n"), std::string::npos) << shown;
  EXPECT_GE(c.Count("Ошибка: MCCP, ошибка при декомпрессии данных."_cp), 1);
  EXPECT_EQ(c.Count("разорвано"_cp), 1);
}

TEST(SocketTest, ANewConnectReplacesTheOldOneWhichStartsUncompressed) {
  TestServer first("offer compress2\nexpect {IAC}{DO}{COMPRESS2}\nstart compress2\nline one\n");
  TestServer second("line two\nclose\n");
  NetClient c;
  c.Connect(first.Port());
  ASSERT_TRUE(c.WaitForText("one\r\n"));
  c.host.main.clear();
  c.Connect(second.Port());
  ASSERT_TRUE(c.WaitForText("two\r\n"));
  ASSERT_TRUE(c.WaitForDisconnect());
  const std::string shown = Render(c.host.main);
  const auto closed = shown.find("разорвано");
  const auto trying = shown.find("Попытка соединения с 127.0.0.1:" + std::to_string(second.Port()));
  EXPECT_LT(closed, trying) << shown;
  EXPECT_NE(
      shown.find("** <stamp> ** Установлено соединение 127.0.0.1:" + std::to_string(second.Port())),
      std::string::npos);
  EXPECT_NE(shown.find("\ntwo\n"), std::string::npos) << shown;
  first.Wait();
}

TEST(SocketTest, ASendTheSocketCannotTakeAtOnceGoesOutWholeAndInOrder) {
  std::string big;
  for (int k = 0; big.size() < 3000000; ++k)
    big += "line " + std::to_string(k) + " of a long paste\r";
  TestServer server("sleep 700\nexpect 99 of a long paste\\r\nexpect tail\\r\nclose\n");
  NetClient c;
  c.Connect(server.Port());
  ASSERT_TRUE(c.WaitFor([&] { return c.client.connection.Active(); }));
  c.client.connection.Send(big);
  c.Type("tail");
  ASSERT_TRUE(c.WaitForDisconnect(30000));
  EXPECT_TRUE(server.Wait() == big + "tail\r");
  EXPECT_TRUE(server.Succeeded()) << server.Diagnostics();
}

// A host that notes the most lines ever waiting for their triggers while
// the message loop turned.
class BacklogHost : public NetHost {
 public:
  void ProcessMessages() override {
    if (client_ != nullptr) most_waiting = std::max(most_waiting, client_->incoming.QueuedLines());

    QtHost::ProcessMessages();
  }
  void Watch(const Client* c) { client_ = c; }
  std::size_t most_waiting = 0;

 private:
  const Client* client_ = nullptr;
};

// The server sends far faster than the triggers get through the lines.
// Reading waits while a megabyte is behind them: every line still meets
// its triggers, in order, and the lines waiting stay a bounded few.
TEST(SocketTest, AFloodWaitsForTheTriggersInsteadOfPilingUp) {
  // The server stays: a server that hangs up with the client's words unread
  // resets the connection, and the kernel drops what the client had not
  // read yet.
  TestServer server("burst 4000000\nline .\nline THE END\nsleep 60000\n");
  BacklogHost host;
  Client client(host);
  host.Attach(&client);
  host.Watch(&client);
  client.DefaultProfile();
  client.store.Variables().SetValue("global._logfile", "");
  client.RefreshPanels();
  // Every line runs a command (and with it the message loop).
  client.store.Triggers().Add("default.%1=/set busy=1");
  client.store.Triggers().Add("default.THE END=/set done=1");
  client.store.Groups().SetValue("group.default", "on");
  client.ExecuteCommand("/connect 127.0.0.1 " + std::to_string(server.Port()), true);
  QElapsedTimer timer;
  timer.start();
  while (client.store.Var("default.done") != "1" && timer.elapsed() < 120000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
  EXPECT_EQ(client.store.Var("default.done"), "1");
  EXPECT_NE(host.main.find("THE END"), std::string::npos);
  // A megabyte of lines, and a read's worth more (the lines of the flood
  // are some thirty bytes long; without the wait 3.5 MB of them piled up).
  const double line_length = 4000000.0 / static_cast<double>(std::count(host.main.begin(), host.main.end(), '\n'));
  EXPECT_LT(static_cast<double>(host.most_waiting) * line_length, 1.5 * Incoming::kMostBacklog)
      << host.most_waiting << " lines waited";
  host.Attach(nullptr);
}

}  // namespace
}  // namespace tarnel::test
