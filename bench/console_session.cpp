// The whole console process over a loopback connection: for every trigger
// count asked for, a profile with the benchmark's script load is written,
// tarnel-console --raw loads it and connects to a server in this process,
// which sends the 10 MB MCCP2 transcript as fast as the console reads and
// then hangs up.  The console ends when the connection does; its CPU time
// and peak memory come from the kernel (wait4), the server's are not
// counted.
//
//   tarnel-console-session CONSOLE WORKDIR [--mb=MEGABYTES] [--runs=N] TRIGGERS...
//
// Prints one row per trigger count: the run with the least CPU time of N
// (default 3), since other work on the machine only ever adds to it, and
// the highest peak memory of them.  Exits non-zero when a run fails.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "game_session.h"
#include "script/profile_writer.h"

namespace {

using namespace tarnel;
using namespace tarnel::bench;
namespace fs = std::filesystem;

class QuietHost : public Host {
 public:
  std::tm Now() const override {
    std::tm t{};
    t.tm_mday = 1;
    t.tm_year = 126;
    return t;
  }
};

// The profile the console loads: the script load, kept in full by the
// profile file (the groups of the highlights, replaces and the target are
// saved), and the log in the run's folder.
void WriteProfile(const fs::path& file, const fs::path& log, int triggers) {
  QuietHost host;
  Client client(host);
  client.DefaultProfile();
  client.store.Triggers().Clear();
  LoadScripts(client, triggers);
  TStringList& vars = client.store.Variables();
  for (const char* group : {"default", "highlights", "replaces"})
    vars.SetValue(std::string(group) + "._autosave", "on");
  vars.SetValue("global._logfile", log.string());
  std::ofstream(file, std::ios::binary) << BuildProfileText(client.store);
}

struct Result {
  bool ok = false;
  double user = 0, sys = 0, wall = 0;
  long peak_kib = 0;
  std::size_t sent = 0;
};

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

// Sends every read of the wire as one write, reading (and dropping) what
// the console sends meanwhile, then hangs up.
std::size_t Serve(int conn, const Wire& wire) {
  std::size_t sent = 0;
  std::size_t item = 0, offset = 0;
  char sink[4096];
  while (item < wire.reads.size()) {
    pollfd p{conn, POLLIN | POLLOUT, 0};
    if (::poll(&p, 1, 10000) <= 0) break;
    if (p.revents & POLLIN) {
      const ssize_t n = ::read(conn, sink, sizeof sink);
      if (n == 0) break;
    }
    if (p.revents & (POLLERR | POLLHUP)) break;
    if (p.revents & POLLOUT) {
      const std::string& r = wire.reads[item];
      const ssize_t n = ::send(conn, r.data() + offset, r.size() - offset, MSG_NOSIGNAL);
      if (n < 0) break;
      offset += static_cast<std::size_t>(n);
      sent += static_cast<std::size_t>(n);
      if (offset == r.size()) {
        ++item;
        offset = 0;
      }
    }
  }
  ::shutdown(conn, SHUT_WR);
  // Whatever the console still says until it hangs up.
  for (;;) {
    pollfd p{conn, POLLIN, 0};
    if (::poll(&p, 1, 10000) <= 0) break;
    if (::read(conn, sink, sizeof sink) <= 0) break;
  }
  ::close(conn);
  return sent;
}

Result Run(const std::string& console, const fs::path& dir, const Wire& wire, int triggers) {
  Result result;
  const fs::path run = dir / ("triggers-" + std::to_string(triggers));
  fs::remove_all(run);
  fs::create_directories(run);
  const fs::path profile = run / "load.tmc";
  WriteProfile(profile, run / "session.log", triggers);

  const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (server < 0 || ::bind(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(server, 1) != 0 || ::getsockname(server, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    std::perror("listen");
    return result;
  }
  const int port = ntohs(addr.sin_port);

  int input[2];
  if (::pipe2(input, O_CLOEXEC) != 0) return result;
  const auto started = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(input[0], STDIN_FILENO);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    if (::chdir(run.c_str()) != 0) ::_exit(126);
    ::setenv("TARNEL_HOME", run.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::execl(console.c_str(), console.c_str(), "--raw", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(input[0]);
  const std::string commands =
      "/load " + profile.string() + "\n/connect 127.0.0.1 " + std::to_string(port) + "\n";
  if (::write(input[1], commands.data(), commands.size()) < 0) std::perror("write");
  ::close(input[1]);

  pollfd p{server, POLLIN, 0};
  if (::poll(&p, 1, 30000) > 0) {
    const int conn = ::accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
    if (conn >= 0) result.sent = Serve(conn, wire);
  }
  ::close(server);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  result.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  result.user = Seconds(usage.ru_utime);
  result.sys = Seconds(usage.ru_stime);
  result.peak_kib = usage.ru_maxrss;
  std::size_t wire_bytes = 0;
  for (const std::string& r : wire.reads) wire_bytes += r.size();
  result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && result.sent == wire_bytes;
  if (!result.ok)
    std::fprintf(stderr, "tarnel-console-session: the run with %d triggers failed (status %d, %zu of %zu bytes sent)\n",
                 triggers, status, result.sent, wire_bytes);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s CONSOLE WORKDIR [--mb=MEGABYTES] [--runs=N] TRIGGERS...\n", argv[0]);
    return 2;
  }
  const std::string console = argv[1];
  const fs::path dir = fs::absolute(argv[2]);
  int first = 3;
  std::size_t megabytes = 10;
  int runs = 3;
  for (; first < argc && std::string_view(argv[first]).starts_with("--"); ++first) {
    const std::string_view a = argv[first];
    if (a.starts_with("--mb=")) megabytes = std::strtoul(argv[first] + 5, nullptr, 10);
    if (a.starts_with("--runs=")) runs = std::max(1, std::atoi(argv[first] + 7));
  }
  ::signal(SIGPIPE, SIG_IGN);
  const Wire wire = CompressedSession(megabytes * 1000 * 1000);
  std::size_t wire_bytes = 0;
  for (const std::string& r : wire.reads) wire_bytes += r.size();
  std::printf("Transcript: %.1f MB of text, %.1f MB on the wire in %zu reads\n", wire.text_bytes / 1e6,
              wire_bytes / 1e6, wire.reads.size());
  std::printf("%9s %8s %8s %8s %8s %9s\n", "triggers", "cpu s", "user s", "sys s", "wall s", "peak MB");
  int failed = 0;
  for (int k = first; k < argc; ++k) {
    const int triggers = std::atoi(argv[k]);
    Result r;
    long peak = 0;
    for (int k = 0; k < runs; ++k) {
      const Result one = Run(console, dir, wire, triggers);
      if (!one.ok) ++failed;
      peak = std::max(peak, one.peak_kib);
      if (k == 0 || one.user + one.sys < r.user + r.sys) r = one;
    }
    r.peak_kib = peak;
    std::printf("%9d %8.2f %8.2f %8.2f %8.2f %9.1f\n", triggers, r.user + r.sys, r.user, r.sys, r.wall,
                static_cast<double>(r.peak_kib) / 1024.0);
    std::fflush(stdout);
  }
  return failed == 0 ? 0 : 1;
}
