// tarnel-console: the client in a text terminal.
//
//   tarnel-console [--raw] [--help] [--version] [--] [command text...]
//
// The words after the switches are joined and run as one command at start,
// as the desktop client does with its arguments.

#include <QCoreApplication>
#include <clocale>
#include <string>
#include <vector>

#include "app/console_app.h"
#include "app/program_options.h"
#include "app/working_folder.h"
#include "text/encoding.h"

int main(int argc, char** argv) {
  // Help and version are answered before anything starts or any file is
  // touched.
  const tarnel::ProgramOptions options =
      tarnel::ReadProgramOptions(tarnel::Program::Console, argc, argv);
  if (options.exit_code >= 0) return options.exit_code;
  QCoreApplication app(argc, argv);
  // Numbers in scripts always use ".", whatever the desktop's language.
  std::setlocale(LC_NUMERIC, "C");
  QCoreApplication::setApplicationName("tarnel");
  // An installed client keeps the profile's files in the player's data folder.
  tarnel::EnterWorkingFolder(QCoreApplication::applicationDirPath().toStdString());
  const bool raw = options.raw;
  std::vector<std::string> args;
  for (const std::string& a : options.command)
    args.push_back(raw ? a : tarnel::text::Utf8ToCp1251(a));
  tarnel::ConsoleApp console(raw, std::move(args));
  return console.Run();
}
