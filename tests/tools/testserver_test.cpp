// tarnel-testserver as the client's tests see it: started through the
// TestServer helper, talked to over a plain socket on 127.0.0.1, its
// compressed streams inflated with zlib.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>

#include "support/test_server.h"

namespace tarnel::test {
namespace {

class Socket {
 public:
  explicit Socket(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0)
      throw std::runtime_error("cannot connect to the test server");
  }
  ~Socket() {
    if (fd_ >= 0) close(fd_);
  }

  void Send(std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t n = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) throw std::runtime_error("send failed");
      bytes.remove_prefix(static_cast<size_t>(n));
    }
  }
  void HangUp() { shutdown(fd_, SHUT_WR); }

  // One read as the client's read event would get it; empty at the end.
  std::string ReadOnce(int timeout_ms = 10000) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) throw std::runtime_error("nothing to read");
    char buffer[65536];
    ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
  }
  std::string ReadUntil(std::string_view end) {
    std::string all;
    while (all.find(end) == std::string::npos) {
      std::string more = ReadOnce();
      if (more.empty()) break;
      all += more;
    }
    return all;
  }
  // Reads until the server closes, then hangs up as a client does.
  std::string ReadToEnd() {
    std::string all;
    for (std::string more; !(more = ReadOnce()).empty();) all += more;
    close(fd_);
    fd_ = -1;
    return all;
  }

 private:
  int fd_;
};

// What a client makes of the wire: plain text with every compressed stream
// inflated in its place.
struct Unpacked {
  std::string text;
  int started = 0;
  int ended = 0;
  bool error = false;
};

Unpacked Unpack(std::string_view wire) {
  static const std::string kStart1("\xff\xfa\x55\xfb\xf0");
  static const std::string kStart2("\xff\xfa\x56\xff\xf0");
  Unpacked result;
  while (!wire.empty()) {
    size_t at = std::min(wire.find(kStart1), wire.find(kStart2));
    result.text += wire.substr(0, at);
    if (at == std::string_view::npos) break;
    ++result.started;
    wire.remove_prefix(at + kStart1.size());
    z_stream z{};
    inflateInit(&z);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(wire.data()));
    z.avail_in = static_cast<uInt>(wire.size());
    int rc = Z_OK;
    while (rc == Z_OK && (z.avail_in > 0 || z.avail_out == 0)) {
      unsigned char out[4096];
      z.next_out = out;
      z.avail_out = sizeof out;
      rc = inflate(&z, Z_NO_FLUSH);
      result.text.append(reinterpret_cast<char*>(out), sizeof out - z.avail_out);
    }
    wire.remove_prefix(wire.size() - z.avail_in);
    inflateEnd(&z);
    if (rc == Z_STREAM_END) {
      ++result.ended;
    } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
      result.error = true;
      break;
    }
  }
  return result;
}

std::string StartError(const std::string& script) {
  try {
    TestServer server(script);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "(the server started)";
}

TEST(TestServerScript, WritesTheScriptedBytesExactly) {
  TestServer server(
      "# greeting\n"
      "line \\e[1;32mHello\\e[0m, \\x41dventurer {IAC}{IAC}\n"
      "prompt HP:100> \n"
      "   prompt Name: \n"
      "ga\n"
      "offer compress2\n"
      "offer compress\n"
      "raw FF FB 01 0d0a\n"
      "send \\\\ \\{ok\\} 50% ;\r\n"
      "close\n");
  Socket client(server.Port());
  EXPECT_EQ(client.ReadToEnd(),
            "\x1b[1;32mHello\x1b[0m, Adventurer \xff\xff\r\n"
            "HP:100> Name: \xff\xf9"
            "\xff\xfb\x56\xff\xfb\x55\xff\xfb\x01\r\n"
            "\\ {ok} 50% ;");
  EXPECT_EQ(server.Wait(), "");
  EXPECT_TRUE(server.Succeeded()) << server.Diagnostics();
}

TEST(TestServerScript, BadScriptsAreRefusedWithTheirLine) {
  struct Case {
    const char* script;
    const char* said;
  } cases[] = {
      {"line ok\nfrobnicate\n", "line 2: unknown command"},
      {"send {IAK}\n", "{IAK}"},
      {"send {IAC\n", "without \"}\""},
      {"send \\xZ1\n", "\\x needs two hex digits"},
      {"send \\q\n", "unknown escape"},
      {"raw FF F\n", "odd number of hex digits"},
      {"raw FG\n", "not a hex digit"},
      {"end compress\n", "no compressed stream"},
      {"start compress2\nstart compress\n", "line 2: a compressed stream is already running"},
      {"close\nline late\n", "line 2: nothing can follow close"},
      {"expect \n", "expect needs"},
      {"chunk 0\n", "chunk <bytes>"},
      {"sleep soon\n", "sleep takes ms"},
      {"burst -5\n", "burst takes"},
      {"offer compress3\n", "offer compress"},
  };
  for (const Case& c : cases) {
    std::string error = StartError(c.script);
    EXPECT_NE(error.find(c.said), std::string::npos) << c.script << " -> " << error;
  }
}

TEST(TestServerCompression, StreamsEndAndRestartInBothVersions) {
  const std::string script =
      "offer compress2\n"
      "offer compress\n"
      "expect {IAC}{DO}{COMPRESS2}\n"
      "send before\n"
      "start compress2\n"
      "line one {IAC}{IAC} {IAC}{GA}\n"
      "prompt >{IAC}\n"
      "prompt {GA}\n"
      "end compress\n"
      "line plain\n"
      "start compress\n"
      "line two\n"
      "end compress\n"
      "start compress2\n"
      "end compress\n"
      "start compress2\n"
      "line three\n"
      "close\n";
  // Cut into small writes the stream must come out the same.
  for (std::string prefix : {"", "chunk 7 1\n"}) {
    SCOPED_TRACE(prefix);
    TestServer server(prefix + script);
    Socket client(server.Port());
    std::string wire = client.ReadUntil("\xff\xfb\x55");
    client.Send("\xff\xfd\x56");
    wire += client.ReadToEnd();
    Unpacked got = Unpack(wire);
    EXPECT_EQ(got.text,
              "\xff\xfb\x56\xff\xfb\x55"
              "before"
              "one \xff\xff \xff\xf9\r\n>\xff\xf9"
              "plain\r\n"
              "two\r\n"
              "three\r\n");
    EXPECT_FALSE(got.error);
    EXPECT_EQ(got.started, 4);
    EXPECT_EQ(got.ended, 3);  // the last one is cut off by close
    EXPECT_EQ(server.Wait(), "\xff\xfd\x56");
    EXPECT_TRUE(server.Succeeded()) << server.Diagnostics();
  }
}

TEST(TestServerCompression, CorruptBytesFailToInflate) {
  for (std::string version : {"compress", "compress2"}) {
    SCOPED_TRACE(version);
    TestServer server("start " + version + "\nline good\ncorrupt 40\nline after\nclose\n");
    Socket client(server.Port());
    Unpacked got = Unpack(client.ReadToEnd());
    EXPECT_TRUE(got.error);
    EXPECT_EQ(got.text, "good\r\n");
    server.Wait();
    EXPECT_TRUE(server.Succeeded()) << server.Diagnostics();
  }
  // Right after the start sequence, before any compressed byte.
  TestServer server("send abc\nstart compress2\ncorrupt\nclose\n");
  Socket client(server.Port());
  Unpacked got = Unpack(client.ReadToEnd());
  EXPECT_TRUE(got.error);
  EXPECT_EQ(got.text, "abc");
}

TEST(TestServerWrites, SplitAndChunkCutTheStreamIntoSeparateReads) {
  {
    TestServer server("send \\e[1;3\nsplit 300\nsend 2mText{IAC}\nsplit 300\nsend {GA}\nclose\n");
    Socket client(server.Port());
    EXPECT_EQ(client.ReadOnce(), "\x1b[1;3");
    EXPECT_EQ(client.ReadOnce(), "2mText\xff");
    EXPECT_EQ(client.ReadToEnd(), "\xf9");
  }
  {
    TestServer server("chunk 4 100\nsend abcdefghij\nclose\n");
    Socket client(server.Port());
    std::string all;
    for (std::string read; !(read = client.ReadOnce()).empty(); all += read)
      EXPECT_LE(read.size(), 4u);
    EXPECT_EQ(all, "abcdefghij");
  }
}

TEST(TestServerWrites, BurstIsExactAndSurvivesCompression) {
  std::string plain;
  {
    TestServer server("burst 300000\nclose\n");
    Socket client(server.Port());
    plain = client.ReadToEnd();
  }
  ASSERT_EQ(plain.size(), 300000u);
  EXPECT_EQ(plain.find('\xff'), std::string::npos);  // would be taken for IAC
  EXPECT_EQ(plain.find('\0'), std::string::npos);
  EXPECT_NE(plain.find("\x1b[1;36m"), std::string::npos);
  EXPECT_GT(std::count(plain.begin(), plain.end(), '\n'), 3000);

  TestServer server("start compress2\nburst 300000\nend compress\nclose\n");
  Socket client(server.Port());
  Unpacked got = Unpack(client.ReadToEnd());
  EXPECT_EQ(got.ended, 1);
  EXPECT_TRUE(got.text == plain);
}

TEST(TestServerClient, ExpectEchoAndRecordSeeTheExactBytes) {
  TestServer server(
      "echo on\n"
      "offer compress2\n"
      "expect {IAC}{DO}{COMPRESS2}\n"
      "expect north\\r\n"
      "expect c\\r\n"
      "expect \\xFF\\r\n"
      "line bye\n"
      "close\n");
  {
    Socket client(server.Port());
    client.ReadUntil("\xff\xfb\x56");
    client.Send("\xff\xfd\x56");
    client.Send("north\r");
    // The compression answer is telnet, not typed text: it is not echoed.
    EXPECT_EQ(client.ReadUntil("north\r\n"), "north\r\n");
    client.Send("a\r\nb\nc\r");
    EXPECT_EQ(client.ReadUntil("c\r\n"), "a\r\nb\r\nc\r\n");
    client.Send("\xff\r");  // a data byte the client does not double
    EXPECT_EQ(client.ReadToEnd(), "\xff\xff\r\nbye\r\n");
  }
  EXPECT_EQ(server.Wait(), "\xff\xfd\x56north\ra\r\nb\nc\r\xff\r");
  EXPECT_TRUE(server.Succeeded()) << server.Diagnostics();
}

TEST(TestServerClient, FailedExpectEndsTheSessionAndSaysWhy) {
  {
    TestServer server("timeout 300\nexpect look\\r\nline never\n");
    Socket client(server.Port());
    client.Send("north\r");
    EXPECT_EQ(client.ReadToEnd(), "");
    EXPECT_EQ(server.Wait(), "north\r");
    EXPECT_FALSE(server.Succeeded());
    std::string why = server.Diagnostics();
    EXPECT_NE(why.find("script line 2"), std::string::npos) << why;
    EXPECT_NE(why.find("no \"look\\r\" from the client within 300 ms"), std::string::npos) << why;
    EXPECT_NE(why.find("it sent \"north\\r\""), std::string::npos) << why;
  }
  {
    TestServer server("expect look\\r\n");
    {
      Socket client(server.Port());
      client.Send("lo");
    }
    server.Wait();
    EXPECT_FALSE(server.Succeeded());
    EXPECT_NE(server.Diagnostics().find("hung up"), std::string::npos) << server.Diagnostics();
  }
}

TEST(TestServerClient, AnyBytesFromTheClientAreRecordedAndNeverStopTheServer) {
  std::string noise(256 * 1024, '\0');
  unsigned x = 12345;
  for (char& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 16);
  noise += std::string(100000, '\xff');  // one long line of IAC bytes, echoed doubled
  TestServer server("echo on\nstart compress2\n");
  Socket client(server.Port());
  // Sent without reading: the server must keep reading while its own echo
  // backs up.
  client.Send(noise);
  client.HangUp();
  Unpacked got = Unpack(client.ReadToEnd());
  EXPECT_FALSE(got.error);
  EXPECT_GE(got.text.size(), noise.size());
  EXPECT_TRUE(server.Wait() == noise);
  EXPECT_TRUE(server.Succeeded()) << server.Diagnostics();
}

TEST(TestServerClient, SessionsFollowOneAnother) {
  TestServer server("line hello\nexpect bye\\r\nexpect-eof\n", 2);
  for (int i = 0; i < 2; ++i) {
    Socket client(server.Port());
    EXPECT_EQ(client.ReadUntil("\r\n"), "hello\r\n");
    client.Send("bye\r");
  }
  EXPECT_EQ(server.Wait(), "bye\rbye\r");
  EXPECT_TRUE(server.Succeeded()) << server.Diagnostics();
}

TEST(TestServerHelper, ASessionThatDoesNotEndIsKilled) {
  TestServer server("line hello\n");
  Socket client(server.Port());
  client.ReadUntil("\r\n");
  EXPECT_EQ(server.Wait(std::chrono::milliseconds(300)), "");
  EXPECT_FALSE(server.Succeeded());
  EXPECT_NE(server.Diagnostics().find("killed"), std::string::npos);
}

}  // namespace
}  // namespace tarnel::test
