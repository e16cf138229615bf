#include "script/text_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "text/paths.h"

namespace tarnel {

bool ReadWholeFile(std::string_view path, std::string& content) {
  if (path.empty()) return false;
  const std::string native = text::NativePath(path);
  const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::string data;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    data.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  content = std::move(data);
  return true;
}

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      ++i;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

namespace {

constexpr std::string_view kTempInfix = ".tmp-";
constexpr std::size_t kTempRandom = 6;  // the X's of mkstemp
// A temporary file that nobody has written for this long and that no save
// holds locked was left by a save that never finished.  The wait covers the
// moment between creating a temporary file and locking it.
constexpr std::time_t kStaleSeconds = 60;

bool TempSuffix(std::string_view s) {
  if (s.size() != kTempRandom) return false;
  for (char c : s)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  return true;
}

}  // namespace

bool IsTemporaryFileOf(std::string_view file_name, std::string_view target_name) {
  if (file_name.size() != target_name.size() + kTempInfix.size() + kTempRandom) return false;
  return file_name.substr(0, target_name.size()) == target_name &&
         file_name.substr(target_name.size(), kTempInfix.size()) == kTempInfix &&
         TempSuffix(file_name.substr(target_name.size() + kTempInfix.size()));
}

void RemoveStaleTemporaryFiles(std::string_view path) {
  const std::string native = text::NativePath(path);
  const auto slash = native.rfind('/');
  const std::string dir = slash == std::string::npos ? "."
                          : slash == 0               ? "/"
                                                     : native.substr(0, slash);
  const std::string base = slash == std::string::npos ? native : native.substr(slash + 1);
  if (base.empty()) return;
  DIR* d = ::opendir(dir.c_str());
  if (d == nullptr) return;
  const std::time_t now = std::time(nullptr);
  while (const dirent* e = ::readdir(d)) {
    if (!IsTemporaryFileOf(e->d_name, base)) continue;
    const std::string file = dir + "/" + e->d_name;
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    struct stat again {};
    // A save that is still writing holds its file locked, whichever process
    // it runs in; a file someone else owns, or one just made, stays too.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        now - st.st_mtime >= kStaleSeconds && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::lstat(file.c_str(), &again) == 0 && again.st_dev == st.st_dev &&
        again.st_ino == st.st_ino)
      ::unlink(file.c_str());
    ::close(fd);
  }
  ::closedir(d);
}

bool WriteFileSafely(std::string_view path, std::string_view content) {
  if (path.empty()) return false;
  // A save killed before its rename left its temporary file behind: the
  // next save of the same file takes it away.
  RemoveStaleTemporaryFiles(path);
  const std::string native = text::NativePath(path);
  if (native.empty()) return false;
  std::string temp = native + std::string(kTempInfix) + std::string(kTempRandom, 'X');
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  // Held until the file is renamed into place, so that no other save takes
  // it for a leftover.  A file system without locks still gets the save.
  ::flock(fd, LOCK_EX | LOCK_NB);
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
    } else {
      done += static_cast<std::size_t>(n);
    }
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  // Keep the permissions an ordinary new file would get.
  if (ok) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  if (::close(fd) != 0) ok = false;
  if (ok && std::rename(temp.c_str(), native.c_str()) != 0) ok = false;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace tarnel
