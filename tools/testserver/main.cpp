// tarnel-testserver: a scripted telnet game server on 127.0.0.1 for the
// client's connection tests.  See README.md beside this file.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "script.h"
#include "session.h"

namespace tarnel::testserver {
namespace {

constexpr char kUsage[] =
    "usage: tarnel-testserver [--port N] (--script FILE | --session TEXT)\n"
    "                         [--record FILE] [--once | --sessions N] [--verbose]\n"
    "\n"
    "Listens on 127.0.0.1 (port 0: a free one) and prints \"PORT <n>\" as its\n"
    "first line. Every connection runs the session script from its first line;\n"
    "connections are served one after another.\n"
    "\n"
    "  --port N        port to listen on (default 0)\n"
    "  --script FILE   session script\n"
    "  --session TEXT  session script given inline, lines separated by newlines\n"
    "  --record FILE   write every byte the clients send to FILE\n"
    "  --once          exit after the first session (same as --sessions 1)\n"
    "  --sessions N    exit after N sessions\n"
    "  --verbose       log every step, write and read on stderr\n"
    "\n"
    "Exit status: 0 when every session ran its script through, 1 when one\n"
    "failed, 2 for a bad command line or script.\n";

struct Options {
  int port = 0;
  std::string script;
  bool have_script = false;
  std::string record;
  int sessions = 0;  // 0: serve until killed
  bool verbose = false;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "tarnel-testserver: %s\n\n%s", message.c_str(), kUsage);
  return 2;
}

bool ReadInt(const char* text, int min, int max, int& value) {
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < min || v > max) return false;
  value = static_cast<int>(v);
  return true;
}

// 0 when the options are good, else the exit status.
int ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return -1;
    } else if (arg == "--port") {
      const char* v = value();
      if (!v || !ReadInt(v, 0, 65535, options.port)) return UsageError("--port needs 0 to 65535");
    } else if (arg == "--script" || arg == "--session") {
      const char* v = value();
      if (!v) return UsageError(std::string(arg) + " needs a value");
      if (options.have_script) return UsageError("give one --script or --session");
      options.have_script = true;
      if (arg == "--session") {
        options.script = v;
      } else {
        std::ifstream in(v, std::ios::binary);
        if (!in) return UsageError(std::string("cannot read ") + v);
        std::ostringstream text;
        text << in.rdbuf();
        options.script = text.str();
      }
    } else if (arg == "--record") {
      const char* v = value();
      if (!v) return UsageError("--record needs a file");
      options.record = v;
    } else if (arg == "--once") {
      options.sessions = 1;
    } else if (arg == "--sessions") {
      const char* v = value();
      if (!v || !ReadInt(v, 1, 1 << 30, options.sessions))
        return UsageError("--sessions needs a count from 1");
    } else if (arg == "--verbose" || arg == "-v") {
      options.verbose = true;
    } else {
      return UsageError("unknown option " + std::string(arg));
    }
  }
  if (!options.have_script) return UsageError("give --script FILE or --session TEXT");
  return 0;
}

int Listen(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 || listen(fd, 8) < 0) {
    int error = errno;
    close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

int BoundPort(int fd) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) < 0) return -1;
  return ntohs(address.sin_port);
}

int Serve(const Options& options, const Script& script) {
  int record_fd = -1;
  if (!options.record.empty()) {
    record_fd = open(options.record.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (record_fd < 0) {
      std::fprintf(stderr, "tarnel-testserver: cannot create %s: %s\n", options.record.c_str(),
                   std::strerror(errno));
      return 2;
    }
  }
  int listener = Listen(options.port);
  if (listener < 0) {
    std::fprintf(stderr, "tarnel-testserver: cannot listen on 127.0.0.1:%d: %s\n", options.port,
                 std::strerror(errno));
    return 2;
  }
  std::printf("PORT %d\n", BoundPort(listener));
  std::fflush(stdout);

  bool all_ok = true;
  for (int number = 1; options.sessions == 0 || number <= options.sessions; ++number) {
    int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) {
        --number;
        continue;
      }
      std::fprintf(stderr, "tarnel-testserver: accept: %s\n", std::strerror(errno));
      all_ok = false;
      break;
    }
    // Each write of the script is meant to reach the client as a read of its own.
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (options.verbose) std::fprintf(stderr, "tarnel-testserver: session %d: connected\n", number);
    Session session(fd, script, record_fd, number, options.verbose);
    bool ok = session.Run();
    all_ok = all_ok && ok;
    if (options.verbose)
      std::fprintf(stderr, "tarnel-testserver: session %d: %s\n", number, ok ? "done" : "failed");
  }
  close(listener);
  if (record_fd >= 0) close(record_fd);
  return all_ok ? 0 : 1;
}

}  // namespace
}  // namespace tarnel::testserver

int main(int argc, char** argv) {
  using namespace tarnel::testserver;
  std::signal(SIGPIPE, SIG_IGN);
  Options options;
  int status = ParseOptions(argc, argv, options);
  if (status != 0) return status < 0 ? 0 : status;
  Script script;
  std::string error;
  if (!ParseScript(options.script, script, error)) {
    std::fprintf(stderr, "tarnel-testserver: script %s\n", error.c_str());
    return 2;
  }
  return Serve(options, script);
}
