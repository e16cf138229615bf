#include "fuzz_sandbox.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <linux/landlock.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

namespace tarnel::fuzz {

namespace {

namespace fs = std::filesystem;

// Newer than the kernel headers of some machines.
constexpr std::uint64_t kAccessTruncate = 1ULL << 14;

std::string& Dir() {
  static std::string dir;
  return dir;
}

int& HomeFd() {
  static int fd = -1;
  return fd;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string Absolute(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

std::string ParentFolder() {
  if (const char* t = std::getenv("TARNEL_FUZZ_TMP"); t != nullptr && *t != '\0') return t;
  // tmpfs: a profile save syncs its file to disk, which on a real disk
  // would cost more than the rest of the input.
  if (IsDirectory("/dev/shm") && ::access("/dev/shm", W_OK) == 0) return "/dev/shm";
  if (const char* t = std::getenv("TMPDIR"); t != nullptr && *t != '\0') return t;
  return "/tmp";
}

std::string TempFolder() {
  const char* t = std::getenv("TMPDIR");
  return t != nullptr && *t != '\0' ? t : "/tmp";
}

// A run that crashed could not remove its folder: the folders of processes
// that are gone go now.  The name carries the process number.
void RemoveStaleFolders(const std::string& parent) {
  DIR* d = ::opendir(parent.c_str());
  if (d == nullptr) return;
  std::vector<std::string> stale;
  while (const dirent* e = ::readdir(d)) {
    const std::string_view name = e->d_name;
    constexpr std::string_view kPrefix = "tarnel-fuzz-";
    if (name.substr(0, kPrefix.size()) != kPrefix) continue;
    const long pid = std::strtol(e->d_name + kPrefix.size(), nullptr, 10);
    if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
      stale.push_back(parent + "/" + e->d_name);
  }
  ::closedir(d);
  for (const std::string& path : stale) {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
}

void RemoveDir() {
  if (Dir().empty()) return;
  std::error_code ec;
  fs::remove_all(Dir(), ec);
}

// Flags are "-name=value"; the value, or nothing.
bool FlagValue(std::string_view arg, std::string_view name, std::string& value) {
  if (arg.size() < name.size() + 2 || arg[0] != '-' || arg.substr(1, name.size()) != name ||
      arg[name.size() + 1] != '=')
    return false;
  value.assign(arg.substr(name.size() + 2));
  return true;
}

// libFuzzer writes its crash files while an input runs, that is while the
// working folder is the private one: relative places are made absolute.
void FixArtifactFlags(int* argc, char*** argv) {
  static std::vector<std::string> storage;
  static std::vector<char*> args;
  bool has_prefix = false;
  storage.clear();
  for (int i = 0; i < *argc; ++i) {
    std::string arg = (*argv)[i];
    std::string value;
    if (i > 0 && FlagValue(arg, "artifact_prefix", value)) {
      has_prefix = true;
      const bool folder = !value.empty() && value.back() == '/';
      std::string abs = Absolute(value.empty() ? "." : value);
      if (folder || value.empty()) abs += '/';
      arg = "-artifact_prefix=" + abs;
    } else if (i > 0 && FlagValue(arg, "exact_artifact_path", value)) {
      arg = "-exact_artifact_path=" + Absolute(value);
    }
    storage.push_back(std::move(arg));
  }
  if (!has_prefix) {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) != nullptr) storage.push_back(std::string("-artifact_prefix=") + cwd + "/");
  }
  args.clear();
  for (std::string& s : storage) args.push_back(s.data());
  args.push_back(nullptr);
  *argc = static_cast<int>(storage.size());
  *argv = args.data();
}

// Where libFuzzer (and the helpers it starts) may write besides the
// private folder.
std::vector<std::string> WritablePlaces(int argc, char** argv) {
  std::vector<std::string> places;
  bool helpers = false;
  bool workers = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    std::string value;
    if (arg.empty()) continue;
    if (arg[0] != '-') {
      const std::string abs = Absolute(std::string(arg));
      if (IsDirectory(abs)) places.push_back(abs);
      continue;
    }
    if (FlagValue(arg, "artifact_prefix", value) || FlagValue(arg, "exact_artifact_path", value) ||
        FlagValue(arg, "merge_control_file", value)) {
      const std::string abs = Absolute(value);
      places.push_back(!value.empty() && value.back() == '/' ? abs : fs::path(abs).parent_path().string());
    } else if (FlagValue(arg, "features_dir", value)) {
      places.push_back(Absolute(value));
    }
    for (const char* name : {"fork", "merge", "set_cover_merge", "minimize_crash", "cleanse_crash",
                             "merge_inner", "minimize_crash_internal_step", "minimize_corpus"})
      if (FlagValue(arg, name, value) && value != "0") helpers = true;
    for (const char* name : {"jobs", "workers"})
      if (FlagValue(arg, name, value) && value != "0") workers = true;
  }
  // Forked and merging runs keep their work in the temporary folder, and
  // the processes they start make private folders of their own; jobs log
  // into the working folder.
  if (helpers || workers) {
    places.push_back(Absolute(TempFolder()));
    places.push_back(Absolute(ParentFolder()));
  }
  if (workers) places.push_back(Absolute("."));
  return places;
}

void Restrict(const std::vector<std::string>& places) {
  if (const char* off = std::getenv("TARNEL_FUZZ_NO_LANDLOCK"); off != nullptr && *off == '1') return;
  const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  if (abi < 1) {
    std::fprintf(stderr,
                 "fuzz: no Landlock here; inputs can write files outside %s (absolute paths)\n",
                 Dir().c_str());
    return;
  }
  std::uint64_t write = LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_REMOVE_DIR |
                        LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_MAKE_CHAR |
                        LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG |
                        LANDLOCK_ACCESS_FS_MAKE_SOCK | LANDLOCK_ACCESS_FS_MAKE_FIFO |
                        LANDLOCK_ACCESS_FS_MAKE_BLOCK | LANDLOCK_ACCESS_FS_MAKE_SYM;
  if (abi >= 2) write |= LANDLOCK_ACCESS_FS_REFER;
  if (abi >= 3) write |= kAccessTruncate;
  landlock_ruleset_attr attr{};
  attr.handled_access_fs = write;
  const int ruleset = static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attr, sizeof attr, 0));
  if (ruleset < 0) {
    std::perror("fuzz: landlock_create_ruleset");
    return;
  }
  auto allow = [&](const std::string& path, std::uint64_t access) {
    const int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) return;
    landlock_path_beneath_attr rule{};
    rule.allowed_access = access;
    rule.parent_fd = fd;
    ::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
    ::close(fd);
  };
  allow(Dir(), write);
  for (const std::string& p : places)
    if (IsDirectory(p)) allow(p, write);
  allow("/dev/null", LANDLOCK_ACCESS_FS_WRITE_FILE | (abi >= 3 ? kAccessTruncate : 0));
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
      ::syscall(SYS_landlock_restrict_self, ruleset, 0) != 0)
    std::perror("fuzz: landlock_restrict_self");
  ::close(ruleset);
}

}  // namespace

void InitSandbox(int* argc, char*** argv) {
  if (!Dir().empty()) return;
  const std::string parent = ParentFolder();
  RemoveStaleFolders(parent);
  std::string pattern = parent + "/tarnel-fuzz-" + std::to_string(::getpid()) + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("fuzz: mkdtemp");
    std::abort();
  }
  Dir() = Absolute(pattern);
  std::atexit(RemoveDir);
  HomeFd() = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (argc != nullptr && argv != nullptr) {
    FixArtifactFlags(argc, argv);
    Restrict(WritablePlaces(*argc, *argv));
  } else {
    Restrict({});
  }
}

const std::string& SandboxDir() {
  if (Dir().empty()) InitSandbox(nullptr, nullptr);
  return Dir();
}

InSandbox::InSandbox() {
  if (::chdir(SandboxDir().c_str()) != 0) std::abort();
}

InSandbox::~InSandbox() {
  ClearSandbox();
  if (HomeFd() >= 0 && ::fchdir(HomeFd()) != 0) std::abort();
}

void ClearSandbox() {
  // The folder stays open: a rewind and one read of an empty folder cost
  // two system calls, an open cost five and a buffer of 32 KiB.
  static DIR* d = ::opendir(SandboxDir().c_str());
  if (d == nullptr) return;
  ::rewinddir(d);
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    names.emplace_back(e->d_name);
  }
  for (const std::string& n : names) {
    std::error_code ec;
    fs::remove_all(fs::path(SandboxDir()) / n, ec);
  }
}

}  // namespace tarnel::fuzz
