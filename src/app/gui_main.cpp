// tarnel: the desktop client.
//
//   tarnel [command text...]
//
// The arguments are joined with blanks and run as one command at start,
// before the profile loads.

#include <QApplication>
#include <clocale>
#include <string>
#include <vector>

#include "app/gui_host.h"
#include "app/main_form.h"
#include "interp/client.h"
#include "text/encoding.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Numbers in scripts always use ".", whatever the desktop's language.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setApplicationName("tarnel");
  QApplication::setApplicationDisplayName("TMC");
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(tarnel::text::Utf8ToCp1251(argv[i]));

  tarnel::GuiHost host;
  tarnel::Client client(host);
  host.Attach(&client);
  tarnel::TMainForm form(client, host);
  host.SetForm(&form);
  form.FormCreate(args);
  form.show();
  form.FitTerminal();
  return QApplication::exec();
}
