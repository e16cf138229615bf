#include "app/program_options.h"

#include <cstdio>
#include <string_view>

#include "interp/client.h"

namespace tarnel {

namespace {

constexpr std::string_view kDesktopUsage = R"(Usage: tarnel [--] [command text...]

Tarnel MUD Client: a desktop client for text games played over telnet.
The command text, if any, is run once at start-up, before the last profile
loads, as if typed in the command line (for example: tarnel /connect
mud.example.org 4000).

Options:
  -h, --help     show this help and exit
  -V, --version  show the version and exit
  --             end of options: what follows is command text
)";

constexpr std::string_view kConsoleUsage = R"(Usage: tarnel-console [--raw] [--] [command text...]

Tarnel MUD Client in a text terminal.  Lines read from standard input run as
if typed in the command line; everything the client prints goes to standard
output in UTF-8 with its colours.  The client ends at "/quit", or at the end
of input once the connection has closed.  The command text, if any, is run
once at start-up.

Options:
  --raw          read and write Windows-1251 bytes unchanged
  -h, --help     show this help and exit
  -V, --version  show the version and exit
  --             end of options: what follows is command text
)";

constexpr std::string_view kFiles = R"(
Files:
  TARNEL.ini     interface settings and the last profile: beside the program,
                 or in ~/.config/tarnel when that folder is not writable;
                 the environment variable TARNEL_HOME moves it
  default.tmc    the profile (scripts and settings), standart.log the log,
                 stats.tms the item stats, *.tmm maps: named by the profile,
                 relative names in the folder the client was started in, or
                 in ~/.local/share/tarnel ($XDG_DATA_HOME/tarnel) when the
                 program's folder is not writable (and TARNEL_HOME unset)

Every file the client writes over is written beside it first and renamed
into place.  Set TARNEL_DEBUG to see the terminal's debug output on
standard error.
)";

void Print(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); }

}  // namespace

ProgramOptions ReadProgramOptions(Program program, int argc, char** argv) {
  ProgramOptions options;
  const char* name = program == Program::Desktop ? "tarnel" : "tarnel-console";
  int i = 1;
  for (; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--") {
      ++i;
      break;
    }
    if (a == "-h" || a == "--help") {
      Print(program == Program::Desktop ? kDesktopUsage : kConsoleUsage);
      Print(kFiles);
      options.exit_code = 0;
      return options;
    }
    if (a == "-V" || a == "--version") {
      std::printf("%s (Tarnel MUD Client) %.*s\n", name, static_cast<int>(ClientVersion().size()),
                  ClientVersion().data());
      options.exit_code = 0;
      return options;
    }
    if (program == Program::Console && a == "--raw") {
      options.raw = true;
      continue;
    }
    break;
  }
  for (; i < argc; ++i) options.command.emplace_back(argv[i]);
  return options;
}

}  // namespace tarnel
