#include "script/loading_files.h"

#include <sys/stat.h>

#include "text/paths.h"

namespace tarnel {

LoadingFiles::File LoadingFiles::Identify(std::string_view full_path) {
  File f;
  f.path.assign(full_path);
  struct stat st {};
  if (::stat(text::NativePath(full_path).c_str(), &st) == 0) {
    f.known = true;
    f.dev = st.st_dev;
    f.ino = st.st_ino;
  }
  return f;
}

bool LoadingFiles::Contains(std::string_view full_path) const {
  if (files_.empty()) return false;
  const File f = Identify(full_path);
  for (const File& g : files_) {
    if (g.path == f.path) return true;
    if (f.known && g.known && f.dev == g.dev && f.ino == g.ino) return true;
  }
  return false;
}

LoadingFiles::Mark::Mark(LoadingFiles& files, std::string_view full_path) : files_(files) {
  files_.files_.push_back(Identify(full_path));
}

LoadingFiles::Mark::~Mark() { files_.files_.pop_back(); }

}  // namespace tarnel
