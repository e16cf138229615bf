#include "pipeline/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "interp/client.h"
#include "text/cp1251.h"
#include "text/paths.h"
#include "text/stamps.h"

namespace tarnel {

using namespace literals;

std::string RemoveHiddenLines(std::string_view text) {
  static constexpr std::string_view kMarker = "##\xC2\xFB";
  if (text.find(kMarker) == std::string_view::npos) return std::string(text);
  // The scan looks for a marker only after it has stepped past a byte, so a
  // marker is seen at any position but the very first, and only when at
  // least one byte follows it.
  std::string out;
  out.reserve(text.size());
  const std::size_t n = text.size();
  bool removing = false;
  std::size_t c = 0;
  while (c < n) {
    if (removing) {
      if (text[c] == '\n') removing = false;
    } else {
      out += text[c];
    }
    ++c;
    if (n - c >= 5 && text.compare(c, 4, kMarker) == 0) removing = true;
  }
  return out;
}

std::string Output::SystemMessage(std::string_view text) const {
  const std::tm now = client_.host.Now();
  std::string line = "\x1b[0;37m** ";
  line += text::DateStamp(now);
  line += ' ';
  line += text::TimeStamp(now);
  line += " ** ";
  line.append(text);
  line += "\r\n";
  return line;
}

void Output::PrintText(std::string_view text) {
  // Most texts hold no hidden line and are used as they are.
  std::string without_hidden;
  std::string_view shown = text;
  if (text.find("##\xC2\xFB") != std::string_view::npos) shown = without_hidden = RemoveHiddenLines(text);
  Host& host = client_.host;
  client_.main_screen.ScrollCount = 0;
  client_.main_screen.FeedText(shown);
  host.TerminalWritten(TerminalId::Main, shown);
  host.RepaintTerminal(TerminalId::Main);
  client_.history_screen.ScrollCount = 0;
  client_.history_screen.FeedText(shown);
  // The history view keeps its rows still through this notification.
  host.TerminalWritten(TerminalId::History, shown);
  WriteLog(shown);
}

void Output::WriteMainDirect(std::string_view text) {
  client_.main_screen.ScrollCount = 0;
  client_.main_screen.FeedText(text);
  client_.host.TerminalWritten(TerminalId::Main, text);
  client_.host.RepaintTerminal(TerminalId::Main);
}

namespace {

// The whole of the text, or false.  A write cut short by a signal goes on.
bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

Output::~Output() { CloseLog(); }

void Output::CloseLog() {
  if (log_fd_ >= 0) ::close(log_fd_);
  log_fd_ = -1;
  log_name_.clear();
}

int Output::LogFile(const std::string& name) {
  // A log the player moves or removes while the client runs is started
  // afresh under its name: the name is looked up for every piece of text
  // (one system call, where opening and closing took two and a file).
  struct stat st {};
  const std::string path = text::NativePath(name);
  if (log_fd_ >= 0) {
    if (name == log_name_ && ::stat(path.c_str(), &st) == 0 &&
        static_cast<unsigned long long>(st.st_dev) == log_dev_ &&
        static_cast<unsigned long long>(st.st_ino) == log_ino_)
      return log_fd_;
    CloseLog();
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return -1;
  }
  log_fd_ = fd;
  log_name_ = name;
  log_dev_ = static_cast<unsigned long long>(st.st_dev);
  log_ino_ = static_cast<unsigned long long>(st.st_ino);
  return fd;
}

void Output::WriteLog(std::string_view text) {
  const std::string name = client_.store.Var("global._logfile");
  if (name.empty()) {
    CloseLog();
    return;
  }
  const int fd = LogFile(name);
  if (fd < 0) {
    const std::tm now = client_.host.Now();
    std::string line = "\x1b[0;37m** ";
    line += text::DateStamp(now) + " " + text::TimeStamp(now);
    line += std::string(" ** Ошибка записи в "_cp) + "\"" + name + "\".\r\n";
    WriteMainDirect(line);
    return;
  }
  std::string& plain = log_buffer_;
  plain.clear();
  const int overflows = stripper_.StripInto(text, plain);
  for (int i = 0; i < overflows; ++i) client_.host.Beep();
  if (plain.empty() || WriteAll(fd, plain)) return;
  // A failed write is reported, and the file is opened afresh next time.
  CloseLog();
  WriteMainDirect(SystemMessage(std::string("Ошибка записи в файл "_cp) + name + "."));
}

}  // namespace tarnel
