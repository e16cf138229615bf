// The console client as a player runs it: a real process, real pipes, real
// files in a temporary folder.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct ConsoleRun {
  std::string out;
  int status = -1;
};

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarnel-e2e-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the console client in the temporary folder with the given input.
  ConsoleRun Console(const std::string& input, const std::vector<std::string>& args = {}) {
    int in_pipe[2], out_pipe[2];
    EXPECT_EQ(::pipe(in_pipe), 0);
    EXPECT_EQ(::pipe(out_pipe), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(in_pipe[0], 0);
      ::dup2(out_pipe[1], 1);
      ::close(in_pipe[1]);
      ::close(out_pipe[0]);
      if (::chdir(dir_.c_str()) != 0) ::_exit(126);
      ::setenv("TARNEL_HOME", dir_.c_str(), 1);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(TARNEL_CONSOLE_BIN));
      for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(TARNEL_CONSOLE_BIN, argv.data());
      ::_exit(127);
    }
    ::close(in_pipe[0]);
    ::close(out_pipe[1]);
    std::size_t done = 0;
    while (done < input.size()) {
      const ssize_t n = ::write(in_pipe[1], input.data() + done, input.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::close(in_pipe[1]);
    ConsoleRun run;
    char buf[4096];
    for (ssize_t n; (n = ::read(out_pipe[0], buf, sizeof buf)) > 0;) run.out.append(buf, static_cast<std::size_t>(n));
    ::close(out_pipe[0]);
    ::waitpid(pid, &run.status, 0);
    return run;
  }

  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size())) ++n;
    return n;
  }

  fs::path dir_;
};

TEST_F(ConsoleTest, SetAndEchoAfterTheGreeting) {
  const ConsoleRun r = Console("/set x=5\n/echo %x\n/quit\n");
  ASSERT_TRUE(WIFEXITED(r.status));
  EXPECT_EQ(WEXITSTATUS(r.status), 0);
  const auto greeting = r.out.find("Добро пожаловать в Tarnel MUD Client");
  ASSERT_NE(greeting, std::string::npos) << r.out;
  const auto five = r.out.find("\n5\r\n", greeting);
  EXPECT_NE(five, std::string::npos) << r.out;
}

TEST_F(ConsoleTest, RepeatFormSendsFiveTimesWithoutConnection) {
  const ConsoleRun r = Console("/5 north\n");
  ASSERT_TRUE(WIFEXITED(r.status));
  EXPECT_EQ(Count(r.out, "north\r\n"), 5) << r.out;
  EXPECT_EQ(Count(r.out, "Соединение не установлено."), 5) << r.out;
}

TEST_F(ConsoleTest, ArgumentsRunBeforeTheProfileAndEndOfInputSavesSettings) {
  const ConsoleRun r = Console("", {"/echo", "from-arguments"});
  ASSERT_TRUE(WIFEXITED(r.status));
  const auto arg = r.out.find("from-arguments");
  const auto welcome = r.out.find("Добро пожаловать");
  ASSERT_NE(arg, std::string::npos) << r.out;
  EXPECT_LT(arg, welcome);
  std::ifstream ini(dir_ / "TARNEL.ini", std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(ini)), {});
  EXPECT_NE(content.find("lastprofile=" + (dir_ / "default.tmc").string() + "\r\n"), std::string::npos)
      << content;
}

TEST_F(ConsoleTest, PrivateColourCodesBecomeOrdinaryColours) {
  const ConsoleRun r = Console("/echo {/esc[31mA/esc[81;32mB/esc[82mC}\n");
  EXPECT_NE(r.out.find("\x1b[31mA\x1b[0;32mB\x1b[0;31mC"), std::string::npos) << r.out;
}

TEST_F(ConsoleTest, RawModeKeepsWindows1251Bytes) {
  const ConsoleRun r = Console("/echo \xE4\xE0\n", {"--raw"});
  EXPECT_NE(r.out.find("\xE4\xE0\r\n"), std::string::npos);
  EXPECT_NE(r.out.find("\xC4\xEE\xE1\xF0\xEE"), std::string::npos);  // "Добро" in CP1251
}

TEST_F(ConsoleTest, LogFileCollectsTheTextWithoutColours) {
  const ConsoleRun r = Console("/set global._logfile=game.log\n/echo {/esc[1;31mred/esc[0m}\n");
  std::ifstream log(dir_ / "game.log", std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(log)), {});
  EXPECT_NE(content.find("red\r\n"), std::string::npos) << content;
  EXPECT_EQ(content.find('\x1b'), std::string::npos);
}

// A player's script records a walk; the map comes back whole in a new
// process, through the profile that remembers the map file.
TEST_F(ConsoleTest, AWalkIsRecordedSavedAndLoadedByTheNextStart) {
  const ConsoleRun walk = Console(
      "/newmap town.tmm\n"
      "/set map.flat=Ворота\n/nav x\n"
      "/set map.flat=Площадь\n/set map.exits=wse\n/nav e\n"
      "/set map.flat=Рынок\n/set map.exits=n\n/nav s\n"
      "/nav q\n"
      "/savemap town.tmm\n/quit\n");
  ASSERT_TRUE(WIFEXITED(walk.status)) << walk.out;
  const auto read = [this](const char* name) {
    std::ifstream f(dir_ / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), {});
  };
  const std::string expected =
      "1=0;0;2;0;0;0;0;;;\xC2\xEE\xF0\xEE\xF2\xE0;1;1;;\r\n"
      "2=1;-1;0;3;-1;-1;0;;;\xCF\xEB\xEE\xF9\xE0\xE4\xFC;1;1;;\r\n"
      "3=-1;2;-1;-1;-1;-1;0;;;\xD0\xFB\xED\xEE\xEA;1;1;;\r\n";
  EXPECT_EQ(read("town.tmm"), expected) << walk.out;
  // A wrong letter is the parameter error and changes nothing.
  EXPECT_NE(walk.out.find("Ошибка в параметрах, /man /nav для справки."), std::string::npos);

  // The next start loads the map named in the profile; walking east
  // follows the recorded link and creates nothing.
  const ConsoleRun again = Console(
      "/set map.located=1\n/set map.flat=Площадь\n/nav e\n"
      "/savemap copy.tmm\n/quit\n");
  ASSERT_TRUE(WIFEXITED(again.status)) << again.out;
  EXPECT_EQ(read("copy.tmm"), expected) << again.out;
}

// Blocks nested in blocks share their text: memory follows the length of
// the text, not its length times its depth.
TEST_F(ConsoleTest, NestedBlocksAreNotCopiedLevelByLevel) {
  std::string line;
  for (int i = 0; i < 100; ++i) line += "/if (1=1) {";
  line += "/nop " + std::string(3 << 20, 'x');
  line.append(100, '}');
  line += ";/echo done\n/quit\n";
  int in_pipe[2], out_pipe[2];
  ASSERT_EQ(::pipe(in_pipe), 0);
  ASSERT_EQ(::pipe(out_pipe), 0);
  const pid_t console = ::fork();
  if (console == 0) {
    ::dup2(in_pipe[0], 0);
    ::dup2(out_pipe[1], 1);
    ::close(in_pipe[1]);
    ::close(out_pipe[0]);
    if (::chdir(dir_.c_str()) != 0) ::_exit(126);
    ::setenv("TARNEL_HOME", dir_.c_str(), 1);
    ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    ::execl(TARNEL_CONSOLE_BIN, TARNEL_CONSOLE_BIN, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(in_pipe[1], line.data() + done, line.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(in_pipe[1]);
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = ::read(out_pipe[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
  ::close(out_pipe[0]);
  int status = 0;
  rusage usage{};
  ::wait4(console, &status, 0, &usage);
  EXPECT_NE(out.find("done"), std::string::npos);
  // A copy per level would take hundreds of megabytes; the client itself,
  // sanitizers and all, stays well below this.
  EXPECT_LT(usage.ru_maxrss, 400L * 1024) << "peak " << usage.ru_maxrss / 1024 << " MiB";
}

// The player's terminal: standard input and output are one pty, whose
// reader here is slow.  Everything printed must arrive, in order.
class ConsoleAtATerminalTest : public ConsoleTest {};

TEST_F(ConsoleAtATerminalTest, ABurstReachesASlowTerminalWhole) {
  // A 100 KB line, then many ordinary ones: far more than the terminal
  // buffers hold while nobody reads.
  std::string burst(100 * 1024, 'x');
  burst += "\r\n";
  for (int i = 0; i < 6000; ++i)
    burst += "line " + std::to_string(i) + " of the burst, padded to look like game text\r\n";
  {
    std::ofstream f(dir_ / "burst.txt", std::ios::binary);
    f << burst;
  }
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string slave_name = ::ptsname(master);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setsid();
    const int slave = ::open(slave_name.c_str(), O_RDWR);
    if (slave < 0) ::_exit(125);
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);  // bytes as they are, no echo of what the test types
    ::tcsetattr(slave, TCSANOW, &t);
    ::dup2(slave, 0);
    ::dup2(slave, 1);
    ::close(slave);
    ::close(master);
    if (::chdir(dir_.c_str()) != 0) ::_exit(126);
    ::setenv("TARNEL_HOME", dir_.c_str(), 1);
    ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    ::execl(TARNEL_CONSOLE_BIN, TARNEL_CONSOLE_BIN, "--raw", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  auto type = [&](const std::string& line) {
    ASSERT_EQ(::write(master, line.data(), line.size()), static_cast<ssize_t>(line.size()));
  };
  // Reads slowly until the text appears or the console goes quiet for long.
  std::string out;
  auto read_until = [&](const std::string& mark) {
    char buf[1024];
    for (int idle = 0; out.find(mark) == std::string::npos && idle < 300;) {
      pollfd p{master, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) {
        ++idle;
        continue;
      }
      const ssize_t n = ::read(master, buf, sizeof buf);
      if (n <= 0) break;
      idle = 0;
      out.append(buf, static_cast<std::size_t>(n));
      ::usleep(200);
    }
  };
  read_until("Tarnel MUD Client");
  type("/type burst.txt;/echo END-OF-BURST\n");
  ::usleep(500 * 1000);  // nobody reads: the terminal fills up
  read_until("END-OF-BURST");
  type("/quit\n");
  read_until("\x01never");  // to the end of the output
  int status = -1;
  ::waitpid(pid, &status, 0);
  ::close(master);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::size_t at = out.find(burst);
  EXPECT_NE(at, std::string::npos) << "got " << out.size() << " bytes";
  EXPECT_NE(out.find("END-OF-BURST", at == std::string::npos ? 0 : at + burst.size()),
            std::string::npos);
}

TEST(ProgramSwitches, HelpAndVersionAnswerWithoutTouchingAnyFile) {
  const fs::path dir =
      fs::temp_directory_path() / ("tarnel-switches-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const char* bin : {TARNEL_CONSOLE_BIN, TARNEL_GUI_BIN}) {
    for (const char* flag : {"--help", "--version", "-h"}) {
      int out_pipe[2];
      ASSERT_EQ(::pipe(out_pipe), 0);
      const pid_t pid = ::fork();
      if (pid == 0) {
        ::dup2(out_pipe[1], 1);
        ::close(out_pipe[0]);
        if (::chdir(dir.c_str()) != 0) ::_exit(126);
        ::setenv("TARNEL_HOME", dir.c_str(), 1);
        // No display at all: the answer needs none.
        ::unsetenv("DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
        ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
        ::execl(bin, bin, flag, static_cast<char*>(nullptr));
        ::_exit(127);
      }
      ::close(out_pipe[1]);
      std::string out;
      char buf[4096];
      for (ssize_t n; (n = ::read(out_pipe[0], buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<std::size_t>(n));
      ::close(out_pipe[0]);
      int status = -1;
      ::waitpid(pid, &status, 0);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << bin << " " << flag;
      const std::string expected = std::string(flag) == "--version" ? "Tarnel MUD Client) 1.0"
                                   : std::string(flag) == "--help"  ? "TARNEL.ini"
                                                                    : "Usage: tarnel";
      EXPECT_NE(out.find(expected), std::string::npos) << bin << " " << flag << ": " << out;
    }
  }
  // Not a profile, a log, a stats file or settings: nothing at all.
  EXPECT_TRUE(fs::is_empty(dir));
  fs::remove_all(dir);
}

// Ctrl+C: the way out of a runaway batch when input is piped, and the end
// of the client when nothing runs.
class ConsoleInterruptTest : public ConsoleTest {
 protected:
  struct Running {
    pid_t pid;
    int in;
    int out;
  };
  Running Start() {
    int in_pipe[2], out_pipe[2];
    EXPECT_EQ(::pipe(in_pipe), 0);
    EXPECT_EQ(::pipe(out_pipe), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::dup2(in_pipe[0], 0);
      ::dup2(out_pipe[1], 1);
      ::close(in_pipe[1]);
      ::close(out_pipe[0]);
      if (::chdir(dir_.c_str()) != 0) ::_exit(126);
      ::setenv("TARNEL_HOME", dir_.c_str(), 1);
      ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
      ::execl(TARNEL_CONSOLE_BIN, TARNEL_CONSOLE_BIN, static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(in_pipe[0]);
    ::close(out_pipe[1]);
    return {pid, in_pipe[1], out_pipe[0]};
  }
  static void Type(const Running& r, const std::string& text) {
    ASSERT_EQ(::write(r.in, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // Output until the text shows (or 20 s pass).
  static bool WaitFor(const Running& r, std::string& out, const std::string& text) {
    char buf[4096];
    for (int waited = 0; out.find(text) == std::string::npos && waited < 200;) {
      pollfd p{r.out, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) {
        ++waited;
        continue;
      }
      const ssize_t n = ::read(r.out, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, static_cast<std::size_t>(n));
    }
    return out.find(text) != std::string::npos;
  }
  static int Finish(const Running& r, std::string& out) {
    ::close(r.in);
    WaitFor(r, out, std::string(1, '\x7f') + "never");
    ::close(r.out);
    int status = -1;
    ::waitpid(r.pid, &status, 0);
    return status;
  }
};

TEST_F(ConsoleInterruptTest, CtrlCStopsARunawayBatchAndTheClientGoesOn) {
  const Running r = Start();
  std::string out;
  ASSERT_TRUE(WaitFor(r, out, "Tarnel MUD Client"));
  Type(r, "/set macro m={m;m}\n/echo started;m\n/echo survived\n");
  ASSERT_TRUE(WaitFor(r, out, "started"));
  ::usleep(300 * 1000);
  ::kill(r.pid, SIGINT);
  EXPECT_TRUE(WaitFor(r, out, "survived")) << out.substr(out.size() > 2000 ? out.size() - 2000 : 0);
  const int status = Finish(r, out);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(ConsoleInterruptTest, CtrlCAtRestEndsTheClientWithItsSaves) {
  const Running r = Start();
  std::string out;
  ASSERT_TRUE(WaitFor(r, out, "Tarnel MUD Client"));
  Type(r, "/echo ready\n");
  ASSERT_TRUE(WaitFor(r, out, "ready"));
  ::kill(r.pid, SIGINT);
  // Input stays open: only the interruption ends it.
  char buf[4096];
  for (ssize_t n; (n = ::read(r.out, buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
  int status = -1;
  ::waitpid(r.pid, &status, 0);
  ::close(r.in);
  ::close(r.out);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(fs::exists(dir_ / "TARNEL.ini"));
  EXPECT_TRUE(fs::exists(dir_ / "default.tmc"));
}

TEST_F(ConsoleInterruptTest, TwoCtrlCsInASecondEndItAtOnce) {
  const Running r = Start();
  std::string out;
  ASSERT_TRUE(WaitFor(r, out, "Tarnel MUD Client"));
  Type(r, "/set macro m={m;m}\n/echo started;m\n");
  ASSERT_TRUE(WaitFor(r, out, "started"));
  ::kill(r.pid, SIGINT);
  ::usleep(100 * 1000);
  ::kill(r.pid, SIGINT);
  const int status = Finish(r, out);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status;
}

}  // namespace
