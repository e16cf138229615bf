// tarnel-console: the client in a text terminal.
//
//   tarnel-console [--raw] [command text...]
//
// The words after the switches are joined and run as one command at start,
// as the desktop client does with its arguments.

#include <QCoreApplication>
#include <cstring>
#include <clocale>
#include <string>
#include <vector>

#include "app/console_app.h"
#include "text/encoding.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // Numbers in scripts always use ".", whatever the desktop's language.
  std::setlocale(LC_NUMERIC, "C");
  QCoreApplication::setApplicationName("tarnel");
  bool raw = false;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--raw") == 0) raw = true;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--raw") == 0) continue;
    args.push_back(raw ? std::string(argv[i]) : tarnel::text::Utf8ToCp1251(argv[i]));
  }
  tarnel::ConsoleApp console(raw, std::move(args));
  return console.Run();
}
