// The console client as a running process driven line by line: what the
// test types goes to its standard input, and its standard output is read
// until the answer it waits for shows.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace tarnel::test {

class ConsoleProcess {
 public:
  // Starts tarnel-console in `dir` (its working folder and TARNEL_HOME).
  ConsoleProcess(const std::filesystem::path& dir, const std::vector<std::string>& args) {
    // A client that died must fail the test, not kill it on the next write.
    ::signal(SIGPIPE, SIG_IGN);
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) {
      error_ = std::strerror(errno);
      return;
    }
    if (::pipe2(out, O_CLOEXEC) != 0) {
      error_ = std::strerror(errno);
      ::close(in[0]);
      ::close(in[1]);
      return;
    }
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string_view entry(*e);
      if (entry.rfind("TARNEL_HOME=", 0) == 0 || entry.rfind("QT_QPA_PLATFORM=", 0) == 0) continue;
      env.emplace_back(entry);
    }
    env.push_back("TARNEL_HOME=" + dir.string());
    env.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<const char*> argv = {TARNEL_CONSOLE_BIN};
    for (const auto& a : args) argv.push_back(a.c_str());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const int rc = ::posix_spawn(&pid_, TARNEL_CONSOLE_BIN, &actions, nullptr,
                                 const_cast<char* const*>(argv.data()), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    input_ = in[1];
    output_ = out[0];
    if (rc != 0) {
      pid_ = -1;
      error_ = "cannot start " + std::string(TARNEL_CONSOLE_BIN) + ": " + std::strerror(rc);
    }
  }

  ~ConsoleProcess() {
    if (input_ >= 0) ::close(input_);
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) ::close(output_);
  }
  ConsoleProcess(const ConsoleProcess&) = delete;
  ConsoleProcess& operator=(const ConsoleProcess&) = delete;

  // Empty when the client runs.
  const std::string& Error() const { return error_; }

  // A line as typed in the command line. Answers are looked for in what the
  // client prints from here on, so an earlier answer never counts twice.
  void Type(std::string_view line) {
    mark_ = out_.size();
    std::string bytes(line);
    bytes += '\n';
    std::string_view rest = bytes;
    while (!rest.empty() && input_ >= 0) {
      const ssize_t n = ::write(input_, rest.data(), rest.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      rest.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  // Reads until a whole line holding `part` has been printed since the last
  // typed line and returns that line (without its line end); nothing when
  // the time is up or the client stopped printing.
  std::optional<std::string> WaitLine(std::string_view part,
                                      std::chrono::seconds timeout = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      const std::size_t at = out_.find(part, mark_);
      if (at != std::string::npos) {
        const std::size_t end = out_.find("\r\n", at + part.size());
        if (end != std::string::npos) {
          const std::size_t start = out_.rfind('\n', at);
          const std::size_t from = start == std::string::npos ? 0 : start + 1;
          return out_.substr(from, end - from);
        }
      }
      if (!ReadSome(deadline)) return std::nullopt;
    }
  }

  // Ends the input; the client then finishes once its connection is closed.
  void EndInput() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
  }

  // Reads the rest of the output and waits for the client to end: its wait
  // status, or nothing when it is still running after the time-out.
  std::optional<int> WaitExit(std::chrono::seconds timeout = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (ReadSome(deadline)) {
    }
    while (pid_ > 0) {
      int status = 0;
      const pid_t done = ::waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        pid_ = -1;
        return status;
      }
      if (done < 0 && errno != EINTR) break;
      if (std::chrono::steady_clock::now() >= deadline) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
  }

  // Everything printed so far, and what came since the last typed line.
  const std::string& Output() const { return out_; }
  std::string SinceTyped() const { return out_.substr(std::min(mark_, out_.size())); }

 private:
  // One read; false at the end of the output or when the time is up.
  bool ReadSome(std::chrono::steady_clock::time_point deadline) {
    if (output_ < 0) return false;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) return false;
      pollfd p{output_, POLLIN, 0};
      const int ready = ::poll(&p, 1, static_cast<int>(left));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) return false;
      char buffer[4096];
      const ssize_t n = ::read(output_, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ::close(output_);
        output_ = -1;
        return false;
      }
      out_.append(buffer, static_cast<std::size_t>(n));
      return true;
    }
  }

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string out_;
  std::size_t mark_ = 0;
  std::string error_;
};

}  // namespace tarnel::test
