// The desktop client as a process: started with an argument in a temporary
// folder on the offscreen platform, and ended by its own "/quit".

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
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

// A real X server (Xvfb) and the xcb platform, as on a player's desktop:
// the title the window manager shows is the client's caption alone, with
// nothing appended by the toolkit.
TEST(DesktopClient, TheWindowTitleIsTheCaptionAlone) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t xvfb = ::fork();
  if (xvfb == 0) {
    ::close(fds[0]);
    const std::string fd = std::to_string(fds[1]);
    // Without -noreset the server starts over each time its last client
    // leaves (the probe below is one), and a client that connects while it
    // does is turned away.
    ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
             "tcp", "-noreset", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  std::string number;
  char c;
  while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  ::close(fds[0]);
  ASSERT_FALSE(number.empty()) << "Xvfb did not start (is the xvfb package installed?)";
  const std::string display = ":" + number;
  // The number comes a moment before the server answers; a client that
  // tries too early gives up.
  const std::string probe = "DISPLAY=" + display + " xwininfo -root >/dev/null 2>&1";
  for (int i = 0; i < 100 && std::system(probe.c_str()) != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

  const fs::path dir =
      fs::temp_directory_path() / ("tarnel-gui-title-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  auto start_client = [&] {
    const pid_t pid = ::fork();
    if (pid == 0) {
      if (::chdir(dir.c_str()) != 0) ::_exit(126);
      ::setenv("TARNEL_HOME", dir.c_str(), 1);
      ::setenv("DISPLAY", display.c_str(), 1);
      ::setenv("QT_QPA_PLATFORM", "xcb", 1);
      ::setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
      ::execl(TARNEL_GUI_BIN, TARNEL_GUI_BIN, static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return pid;
  };
  pid_t client = start_client();
  int starts = 1;
  // The names of the top-level windows, as xwininfo lists them.
  auto windows = [&] {
    const std::string command = "DISPLAY=" + display + " xwininfo -root -tree 2>/dev/null";
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
      char buf[4096];
      for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
      ::pclose(p);
    }
    return out;
  };
  std::string listed;
  int status = 0;
  bool running = true;
  for (int i = 0; i < 200 && listed.find("\"Tarnel MUD Client") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // A client the server turned away at its start (a busy machine) gets
    // two more tries before the test gives up on it.
    if (running && ::waitpid(client, &status, WNOHANG) == client) {
      running = starts < 3;
      if (running) {
        client = start_client();
        ++starts;
      }
    }
    listed = windows();
  }
  if (running) {
    ::kill(client, SIGTERM);
    ::waitpid(client, &status, 0);
  }
  ::kill(xvfb, SIGTERM);
  ::waitpid(xvfb, &status, 0);
  fs::remove_all(dir);
  EXPECT_NE(listed.find("\"Tarnel MUD Client\": (\"tarnel\""), std::string::npos) << listed;
  EXPECT_EQ(listed.find("TMC"), std::string::npos) << listed;
}

}  // namespace
