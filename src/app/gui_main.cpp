// tarnel: the desktop client.
//
//   tarnel [--help] [--version] [--] [command text...]
//
// The arguments are joined with blanks and run as one command at start,
// before the profile loads.

#include <QApplication>
#include <clocale>
#include <string>
#include <vector>

#include "app/gui_host.h"
#include "app/main_form.h"
#include "app/program_options.h"
#include "app/working_folder.h"
#include "interp/client.h"
#include "text/encoding.h"

int main(int argc, char** argv) {
  // Help and version need no display and touch no file.
  if (tarnel::ReadProgramOptions(tarnel::Program::Desktop, argc, argv).exit_code >= 0) return 0;
  QApplication app(argc, argv);
  // Numbers in scripts always use ".", whatever the desktop's language.
  std::setlocale(LC_NUMERIC, "C");
  // No display name: the platform would append it to every window title,
  // and the title is the client's caption alone.
  QApplication::setApplicationName("tarnel");
  // Ties the window to its menu entry (its icon in the task bar on Wayland).
  QGuiApplication::setDesktopFileName("org.example.tarnel");
  // An installed client keeps the profile's files in the player's data folder.
  tarnel::EnterWorkingFolder(QCoreApplication::applicationDirPath().toStdString());
  // Qt has taken its own switches (-platform and the like) out of argv.
  std::vector<std::string> args;
  for (const std::string& a :
       tarnel::ReadProgramOptions(tarnel::Program::Desktop, argc, argv).command)
    args.push_back(tarnel::text::Utf8ToCp1251(a));

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
