// The script files whose statements are running now, outermost first.  A
// file that includes itself, directly or through other files, would load
// for ever and record itself at every level; the include command asks here
// first.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace tarnel {

class LoadingFiles {
 public:
  // Whether the file is being loaded: the same full path, or the same file
  // reached by another name (a link).
  bool Contains(std::string_view full_path) const;

  // Marks a file as being loaded for the lifetime of the mark.
  class Mark {
   public:
    Mark(LoadingFiles& files, std::string_view full_path);
    ~Mark();
    Mark(const Mark&) = delete;
    Mark& operator=(const Mark&) = delete;

   private:
    LoadingFiles& files_;
  };

 private:
  struct File {
    std::string path;
    bool known = false;  // dev and ino hold the file's identity
    dev_t dev = 0;
    ino_t ino = 0;
  };
  static File Identify(std::string_view full_path);

  std::vector<File> files_;
};

}  // namespace tarnel
