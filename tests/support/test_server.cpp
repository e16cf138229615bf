#include "support/test_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;

// Under the sanitizers a cold start of the server takes a while.
constexpr int kStartTimeoutMs = 20000;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The server's first line, "PORT <n>"; 0 when it ended or took too long.
int ReadPort(int fd) {
  std::string line;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
  while (line.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    pollfd p{fd, POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) return 0;
    char buffer[64];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return 0;
    line.append(buffer, static_cast<size_t>(n));
  }
  if (line.rfind("PORT ", 0) != 0) return 0;
  return std::atoi(line.c_str() + 5);
}

}  // namespace

TestServer::TestServer(std::string_view script, int sessions) {
  std::string pattern = (fs::temp_directory_path() / "tarnel-testserver-XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw std::runtime_error("mkdtemp: " + std::string(strerror(errno)));
  dir_ = pattern;
  fs::path dir(dir_);
  std::ofstream(dir / "session.txt", std::ios::binary) << script;

  int out[2];
  if (pipe2(out, O_CLOEXEC) < 0) {
    Release();
    throw std::runtime_error("pipe: " + std::string(strerror(errno)));
  }
  std::string script_path = (dir / "session.txt").string();
  std::string record_path = (dir / "record.bin").string();
  std::string stderr_path = (dir / "stderr.txt").string();
  std::string count = std::to_string(sessions);
  std::vector<const char*> argv = {TARNEL_TESTSERVER_BIN,
                                   "--port",
                                   "0",
                                   "--script",
                                   script_path.c_str(),
                                   "--record",
                                   record_path.c_str(),
                                   "--sessions",
                                   count.c_str(),
                                   nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderr_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  // Sockets the test holds must not stay open in the server, or closing them
  // would not hang up.
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  int rc = posix_spawn(&pid_, TARNEL_TESTSERVER_BIN, &actions, nullptr,
                       const_cast<char* const*>(argv.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  stdout_fd_ = out[0];
  if (rc != 0) {
    pid_ = -1;
    Release();
    throw std::runtime_error("cannot start " + std::string(TARNEL_TESTSERVER_BIN) + ": " +
                             strerror(rc));
  }
  port_ = ReadPort(stdout_fd_);
  if (port_ == 0) {
    Wait(std::chrono::milliseconds(2000));
    std::string why = Diagnostics();
    Release();
    throw std::runtime_error("tarnel-testserver did not start: " + why);
  }
}

TestServer::~TestServer() { Release(); }

void TestServer::Release() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  if (stdout_fd_ >= 0) close(stdout_fd_);
  stdout_fd_ = -1;
  std::error_code ignored;
  if (!dir_.empty()) fs::remove_all(dir_, ignored);
  dir_.clear();
}

std::string TestServer::Wait(std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (pid_ > 0) {
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_ || (done < 0 && errno != EINTR)) {
      succeeded_ = done == pid_ && WIFEXITED(status) && WEXITSTATUS(status) == 0;
      pid_ = -1;
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      pid_ = -1;
      succeeded_ = false;
      std::ofstream(fs::path(dir_) / "stderr.txt", std::ios::app)
          << "(the test killed the server: its sessions had not ended after " << timeout.count()
          << " ms)\n";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return ReadFile(fs::path(dir_) / "record.bin");
}

std::string TestServer::Diagnostics() const { return ReadFile(fs::path(dir_) / "stderr.txt"); }

}  // namespace tarnel::test
