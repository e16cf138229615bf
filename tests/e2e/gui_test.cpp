// The desktop client as a process: started with an argument in a temporary
// folder on the offscreen platform, and ended by its own "/quit".

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

TEST(DesktopClient, StartsWithAnArgumentAndQuitsSavingItsSettings) {
  const fs::path dir = fs::temp_directory_path() / ("tarnel-gui-e2e-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    ::setenv("TARNEL_HOME", dir.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    // The argument runs before the profile loads; the log setting it makes
    // is replaced by the profile, so the log shows what came after.
    ::execl(TARNEL_GUI_BIN, TARNEL_GUI_BIN, "/set", "global._logfile=early.log;/quit", nullptr);
    ::_exit(127);
  }
  int status = -1;
  bool ended = false;
  for (int i = 0; i < 300 && !ended; ++i) {
    if (::waitpid(pid, &status, WNOHANG) == pid) ended = true;
    else std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  ASSERT_TRUE(ended) << "the client did not quit";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::ifstream ini(dir / "TARNEL.ini", std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(ini)), {});
  EXPECT_TRUE(fs::exists(dir / "TARNEL.ini"));
  // The greeting was logged to the file the argument named.
  std::ifstream log(dir / "early.log", std::ios::binary);
  std::string logged((std::istreambuf_iterator<char>(log)), {});
  EXPECT_NE(logged.find("Tarnel MUD Client"), std::string::npos) << logged;
  fs::remove_all(dir);
}

}  // namespace
