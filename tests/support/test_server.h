// The scripted game server for connection tests: starts tarnel-testserver
// with a session script, tells its port, and after the sessions hands back
// every byte the client sent.
//
//   TestServer server("line Welcome!\nexpect north\\r\nclose\n");
//   ... connect the client to 127.0.0.1:server.Port(), let it send "north" ...
//   EXPECT_EQ(server.Wait(), "north\r");
//   EXPECT_TRUE(server.Succeeded()) << server.Diagnostics();
//
// The script language is described in tools/testserver/README.md. A script
// that does not end in "close" keeps its session open until the client
// hangs up.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>

namespace tarnel::test {

class TestServer {
 public:
  // Serves this many connections, one after the other, then exits. Throws
  // std::runtime_error with the server's diagnostics when it does not start
  // (a script error, for one).
  explicit TestServer(std::string_view script, int sessions = 1);
  ~TestServer();  // kills the server if it still runs
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  int Port() const { return port_; }

  // Waits for the sessions to end (the server is killed when they take
  // longer) and returns the bytes the client sent, exactly as they came.
  std::string Wait(std::chrono::milliseconds timeout = std::chrono::seconds(20));

  // After Wait: every session ran its script through.
  bool Succeeded() const { return succeeded_; }
  // What the server wrote to stderr: why a session failed.
  std::string Diagnostics() const;

 private:
  void Release();

  std::string dir_;
  pid_t pid_ = -1;
  int stdout_fd_ = -1;
  int port_ = 0;
  bool succeeded_ = false;
};

}  // namespace tarnel::test
