// A throwaway TinyMUX game: the folder the package's installer would lay out,
// built in a fresh temporary folder, with netmux listening on a free port of
// 127.0.0.1. The game is stopped and its folder removed when the object goes,
// also when a test fails half-way.
//
//   TinyMuxGame game;
//   const std::string failure = game.Start();
//   ASSERT_TRUE(failure.empty()) << failure;
//   ... connect to 127.0.0.1:game.Port() ...
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tarnel::test {

class TinyMuxGame {
 public:
  TinyMuxGame() = default;
  ~TinyMuxGame() {
    Stop();
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }
  TinyMuxGame(const TinyMuxGame&) = delete;
  TinyMuxGame& operator=(const TinyMuxGame&) = delete;

  // Builds the game and starts it; empty when the port accepts connections,
  // otherwise why the game is not there.
  std::string Start(std::chrono::seconds timeout = std::chrono::seconds(30)) {
    namespace fs = std::filesystem;
    const fs::path bin = TARNEL_TINYMUX_BIN_DIR;
    const fs::path game = TARNEL_TINYMUX_GAME_DIR;
    for (const fs::path& needed : {bin / "netmux", bin / "libmux.so", game / "netmux.conf",
                                   game / "data" / "netmux.db", game / "text"}) {
      if (!fs::exists(needed))
        return "TinyMUX is not installed: " + needed.string() +
               " is missing (install Debian's tinymux package)";
    }
    std::string pattern = (fs::temp_directory_path() / "tarnel-mux-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
      return "cannot make a temporary folder: " + std::string(std::strerror(errno));
    dir_ = pattern;

    try {
      for (const char* sub : {"bin", "data", "text"}) fs::create_directory(dir_ / sub);
      // The programs and the help texts are only read: links do. The
      // configuration and the database are the game's own to change.
      for (const auto& entry : fs::directory_iterator(bin))
        fs::create_symlink(entry.path(), dir_ / "bin" / entry.path().filename());
      for (const auto& entry : fs::directory_iterator(game / "text"))
        fs::create_symlink(entry.path(), dir_ / "text" / entry.path().filename());
      for (const auto& entry : fs::directory_iterator(game)) {
        if (entry.path().extension() == ".conf")
          fs::copy_file(entry.path(), dir_ / entry.path().filename());
      }
      fs::copy_file(game / "data" / "netmux.db", dir_ / "data" / "netmux.db");
    } catch (const fs::filesystem_error& e) {
      return "cannot build the game folder " + dir_.string() + ": " + e.what();
    }

    port_ = FreePort();
    if (port_ == 0) return "no free port on 127.0.0.1: " + std::string(std::strerror(errno));
    if (!WriteConfig(game / "netmux.conf"))
      return "cannot write " + (dir_ / "netmux.conf").string();

    const std::string message = Spawn();
    if (!message.empty()) return message;

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (Accepts()) return {};
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return "netmux ended before it listened on port " + std::to_string(port_) + " (" +
               DescribeStatus(status) + "); it said:\n" + Log();
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        return "netmux (pid " + std::to_string(pid_) +
               ") did not accept connections on 127.0.0.1:" + std::to_string(port_) + " within " +
               std::to_string(timeout.count()) + " s; it said:\n" + Log();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }

  // SIGTERM (netmux saves its database and ends), SIGKILL after a grace
  // time; the helper processes it started (in its process group) go too.
  void Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!Exited() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // netmux is not reaped yet, so its group id still names only its own.
    ::kill(-pid_, SIGKILL);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
  }

  int Port() const { return port_; }

  // What netmux wrote to its log (its standard error), for failure messages.
  std::string Log() const {
    std::ifstream in(dir_ / "netmux.log", std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string log = text.str();
    constexpr std::size_t kTail = 4000;
    if (log.size() > kTail) log = "..." + log.substr(log.size() - kTail);
    return log;
  }

 private:
  // Binding port 0 lets the system pick; the port is free again once the
  // socket is closed, and netmux takes it a moment later.
  static int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
      port = ntohs(address.sin_port);
    ::close(fd);
    return port;
  }

  // The template's configuration with our port, only on the loopback
  // interface; no name look-ups (the answers would depend on the machine)
  // and database dumps in netmux itself rather than in a forked copy.
  bool WriteConfig(const std::filesystem::path& from) {
    std::ifstream in(from, std::ios::binary);
    std::ostringstream config;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("port ", 0) == 0 || line.rfind("port\t", 0) == 0) continue;
      config << line << '\n';
    }
    config << "port " << port_ << "\nip_address 127.0.0.1\nhostnames no\nfork_dump no\n";
    std::ofstream out(dir_ / "netmux.conf", std::ios::binary | std::ios::trunc);
    out << config.str();
    return static_cast<bool>(out.flush());
  }

  // netmux in its own process group, run from the game folder (its
  // configuration names everything relative to it), log to standard error.
  std::string Spawn() {
    const std::string program = (dir_ / "bin" / "netmux").string();
    const std::string log = (dir_ / "netmux.log").string();
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string_view entry(*e);
      if (entry.rfind("LD_LIBRARY_PATH=", 0) == 0 || entry.rfind("HOME=", 0) == 0) continue;
      env.emplace_back(entry);
    }
    env.push_back("LD_LIBRARY_PATH=" + (dir_ / "bin").string());
    // Nothing of the game may land in the real home folder.
    env.push_back("HOME=" + dir_.string());
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<const char*> argv = {program.c_str(), "-c", "netmux.conf", "-p",
                                     "netmux.pid",    "-e", "-",           nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir_.c_str());
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, &attributes,
                                 const_cast<char* const*>(argv.data()), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
      pid_ = -1;
      return "cannot start " + program + ": " + std::strerror(rc);
    }
    return {};
  }

  bool Accepts() const {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port_));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
  }

  // Has ended, without reaping it.
  bool Exited() const {
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid_;
  }

  static std::string DescribeStatus(int status) {
    if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
    return "status " + std::to_string(status);
  }

  std::filesystem::path dir_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace tarnel::test
