#include "text/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "text/encoding.h"

namespace tarnel::text {

namespace {

std::string Slashes(std::string_view name) {
  std::string s(name);
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

}  // namespace

std::string NativePath(std::string_view name) {
  // The system ends a name at its first NUL byte, so "a.tmc\0x" would name
  // a.tmc to the system and another file to every comparison of names.  A
  // name holding one names no file: the empty name, which every call refuses.
  if (name.find('\0') != std::string_view::npos) return {};
  return Cp1251ToUtf8(Slashes(name));
}

std::string FromNativePath(std::string_view native) { return Utf8ToCp1251(native); }

std::string ExpandFileName(std::string_view name) {
  std::string s = Slashes(name);
  if (s.empty()) return s;
  std::filesystem::path p(Cp1251ToUtf8(s));
  if (p.is_relative()) {
    std::error_code ec;
    auto cwd = std::filesystem::current_path(ec);
    if (!ec) p = cwd / p;
  }
  p = p.lexically_normal();
  std::string out = p.string();
  // A path of nothing but slashes comes out of the normalisation as it went
  // in; it names the root, and taking one slash off at every expansion
  // would make a saved include load back as another path.
  if (out.find_first_not_of('/') == std::string::npos) return out.empty() ? out : "/";
  if (out.size() > 1 && out.back() == '/') out.pop_back();
  return FromNativePath(out);
}

std::string DirectoryOf(std::string_view path) {
  std::string s = Slashes(path);
  const auto pos = s.rfind('/');
  if (pos == std::string::npos) return ".";
  if (pos == 0) return "/";
  return s.substr(0, pos);
}

bool FileExists(std::string_view name) {
  struct stat st {};
  return ::stat(NativePath(name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace tarnel::text
