#include "app/working_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tarnel {

namespace {

std::string HomeFolder(const EnvironmentLookup& environment) {
  const char* home = environment("HOME");
  if (home != nullptr && *home != '\0') return home;
  // A service or a sudo run may come without HOME.
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
    return pw->pw_dir;
  return {};
}

}  // namespace

std::string ChooseWorkingFolder(const std::string& program_dir, const FolderWritable& writable,
                                const EnvironmentLookup& environment) {
  if (const char* home = environment("TARNEL_HOME"); home != nullptr && *home != '\0') return {};
  if (writable(program_dir)) return {};
  // A relative XDG_DATA_HOME is invalid and is ignored, as the XDG rules say.
  if (const char* data = environment("XDG_DATA_HOME"); data != nullptr && data[0] == '/')
    return std::string(data) + "/tarnel";
  const std::string home = HomeFolder(environment);
  if (home.empty()) return {};
  return home + "/.local/share/tarnel";
}

bool EnterWorkingFolder(const std::string& program_dir, const FolderWritable& writable,
                        const EnvironmentLookup& environment) {
  const std::string dir = ChooseWorkingFolder(program_dir, writable, environment);
  if (dir.empty()) return true;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (!ec && ::chdir(dir.c_str()) != 0) ec.assign(errno, std::generic_category());
  if (!ec) return true;
  std::fprintf(stderr,
               "tarnel: cannot start in %s (%s): files of the profile stay in the current folder\n",
               dir.c_str(), ec.message().c_str());
  return false;
}

bool EnterWorkingFolder(const std::string& program_dir) {
  return EnterWorkingFolder(
      program_dir, [](const std::string& dir) { return ::access(dir.c_str(), W_OK) == 0; },
      [](const char* name) -> const char* { return std::getenv(name); });
}

}  // namespace tarnel
