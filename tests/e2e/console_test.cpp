// The console client as a player runs it: a real process, real pipes, real
// files in a temporary folder.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace
