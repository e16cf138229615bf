// The console client playing against the test server: a real process with
// piped input, real sockets.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "support/test_server.h"

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;

struct ConsoleRun {
  std::string out;
  int status = -1;
};

// Runs the console client in a fresh folder with this input (UTF-8).
ConsoleRun Console(const std::string& input) {
  const fs::path dir =
      fs::temp_directory_path() / ("tarnel-console-play-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  int in_pipe[2], out_pipe[2];
  if (::pipe(in_pipe) != 0 || ::pipe(out_pipe) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in_pipe[0], 0);
    ::dup2(out_pipe[1], 1);
    ::close(in_pipe[1]);
    ::close(out_pipe[0]);
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    ::setenv("TARNEL_HOME", dir.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::execl(TARNEL_CONSOLE_BIN, TARNEL_CONSOLE_BIN, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  if (::write(in_pipe[1], input.data(), input.size()) != static_cast<ssize_t>(input.size()))
    ADD_FAILURE();
  ::close(in_pipe[1]);
  ConsoleRun run;
  char buffer[4096];
  for (ssize_t n; (n = ::read(out_pipe[0], buffer, sizeof buffer)) > 0;)
    run.out.append(buffer, static_cast<size_t>(n));
  ::close(out_pipe[0]);
  ::waitpid(pid, &run.status, 0);
  fs::remove_all(dir);
  return run;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ConsolePlayTest, LinesAfterConnectWaitForTheConnectionAndTheGamePlaysToItsEnd) {
  TestServer server(
      "line \\e[1;33mWelcome!\\e[0m\nexpect north\\r\nline You go north.\nsleep 300\nline Later "
      "news.\nclose\n");
  // Input ends long before the server does: the client plays on until the
  // connection closes.
  const ConsoleRun run =
      Console("/connect 127.0.0.1 " + std::to_string(server.Port()) + "\nnorth\n");
  EXPECT_EQ(server.Wait(), "north\r");
  EXPECT_TRUE(server.Succeeded()) << server.Diagnostics();
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.status;
  for (const char* part :
       {"Установлено соединение 127.0.0.1", "\x1b[1;33mWelcome!\x1b[0m\r\n", "north\r\n",
        "You go north.\r\n", "Later news.\r\n", "Текущее соединение разорвано."})
    EXPECT_TRUE(Has(run.out, part)) << part << "\n---\n" << run.out;
  EXPECT_FALSE(Has(run.out, "Соединение не установлено.")) << run.out;
}

TEST(ConsolePlayTest, AHashLoopSendsOneLinePerCountAndLeavesNothingBehind) {
  TestServer server("expect say 1\\r\nexpect say 2\\r\nexpect say 3\\r\nline done\nclose\n");
  const ConsoleRun run = Console("/connect 127.0.0.1 " + std::to_string(server.Port()) +
                                 "\n#loop {1,3} {say %0}\n/echo [%jmc._jmcloopcount]\n");
  EXPECT_EQ(server.Wait(), "say 1\rsay 2\rsay 3\r");
  EXPECT_TRUE(server.Succeeded()) << server.Diagnostics();
  // The counter is gone: nothing is put in for it.
  EXPECT_TRUE(Has(run.out, "[jmc._jmcloopcount]")) << run.out;
  EXPECT_FALSE(Has(run.out, "[4]")) << run.out;
}

TEST(ConsolePlayTest, AFailedConnectLetsTheHeldLinesRunAndTheClientEnd) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  const ConsoleRun run =
      Console("/connect 127.0.0.1 " + std::to_string(ntohs(address.sin_port)) + "\nnorth\n");
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.status;
  EXPECT_TRUE(Has(run.out, "Ошибка " + std::to_string(ECONNREFUSED) + " (соединение отвергнуто)."))
      << run.out;
  EXPECT_LT(run.out.find("Ошибка "), run.out.find("Соединение не установлено.")) << run.out;
}

TEST(ConsolePlayTest, AOneShotTimerSendsItsCommandSecondsLater) {
  TestServer server("expect look\\r\nline Timed.\nclose\n");
  const ConsoleRun run = Console("/connect 127.0.0.1 " + std::to_string(server.Port()) +
                                 "\n/set timers.look=2\n");
  EXPECT_EQ(server.Wait(), "look\r");
  EXPECT_TRUE(server.Succeeded()) << server.Diagnostics();
  EXPECT_TRUE(Has(run.out, "Timed.")) << run.out;
}

}  // namespace
}  // namespace tarnel::test
