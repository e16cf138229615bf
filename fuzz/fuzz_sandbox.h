// A private folder for the files fuzz inputs make the client write.
//
// Script commands name files freely ("/save /etc/x", "/log ../x"), so every
// target that reaches them runs each input with this folder as its working
// folder, empties it afterwards, and (where the kernel has Landlock) the
// whole process is kept from writing anywhere but there and where libFuzzer
// itself keeps its files: a mutated absolute path cannot touch the machine.
#pragma once

#include <string>

namespace tarnel::fuzz {

// Once per process, from LLVMFuzzerInitialize, before libFuzzer reads its
// flags: makes the folder, points libFuzzer's crash files at the folder it
// was started in (they are written while an input runs, that is inside the
// private folder) and applies the write restriction.  TARNEL_FUZZ_TMP names
// the parent of the folder (default: /dev/shm, else TMPDIR, else /tmp);
// TARNEL_FUZZ_NO_LANDLOCK=1 leaves writes unrestricted.
void InitSandbox(int* argc, char*** argv);

// The private folder, absolute, without a final "/".
const std::string& SandboxDir();

// While one lives the working folder is the private folder; on the way out
// the folder is emptied and the old working folder comes back.
class InSandbox {
 public:
  InSandbox();
  ~InSandbox();
  InSandbox(const InSandbox&) = delete;
  InSandbox& operator=(const InSandbox&) = delete;
};

// Removes everything inside the private folder.
void ClearSandbox();

}  // namespace tarnel::fuzz
