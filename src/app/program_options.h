// The switches both programs answer before anything else starts: --help and
// --version print and exit without opening a window, a connection or any
// file of the player's.
#pragma once

#include <string>
#include <vector>

namespace tarnel {

enum class Program { Desktop, Console };

struct ProgramOptions {
  bool raw = false;                  // console: Windows-1251 bytes unchanged
  int exit_code = -1;                // 0 or more: answered, exit with this code
  std::vector<std::string> command;  // the words run as one command at start
};

// Reads the switches that stand before the command words ("--" ends them);
// --help and --version are answered on standard output here.
ProgramOptions ReadProgramOptions(Program program, int argc, char** argv);

}  // namespace tarnel
