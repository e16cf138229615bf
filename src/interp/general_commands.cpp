// General commands of the script language.

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/emulator_feed.h"
#include "interp/words.h"
#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

namespace {

// The build date as "08.12.2026".
std::string BuildDate() {
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::string d = __DATE__;  // "Dec  8 2026"
  int month = 0;
  for (int i = 0; i < 12; ++i)
    if (d.compare(0, 3, kMonths[i]) == 0) month = i + 1;
  std::string day = d.substr(4, 2);
  if (day[0] == ' ') day[0] = '0';
  const std::string mm = month < 10 ? "0" + std::to_string(month) : std::to_string(month);
  return day + "." + mm + "." + d.substr(7, 4);
}

}  // namespace

void CmdEcho(Client& c, const CommandCall& call) {
  c.PrintText(ControlBytes(Unquote(call.params)) + "\r\n");
}

void CmdEmulate(Client& c, const CommandCall& call) {
  c.incoming.ProcessIncoming(ControlBytes(Unquote(call.params)) + "\r\n");
}

void CmdAbout(Client& c, const CommandCall&) {
  const std::string_view kLine = "\x1b[0;37m";
  std::string t = "\r\n";
  t += std::string(kLine) + "Tarnel MUD Client\r\n";
  t += std::string(kLine) + std::string("Версия "_cp) + std::string(ClientVersion()) +
       std::string(" [freeware] билд "_cp) + BuildDate() + "\r\n";
  t += std::string(kLine) + std::string("Сайт программы: https://tarnel.example.org/\r\n"_cp);
  t += std::string(kLine) +
       std::string("Авторы: команда разработчиков Tarnel MUD Client\r\n"_cp);
  t += std::string(kLine) + std::string("Связь с авторами: team@tarnel.example.org\r\n"_cp);
  c.PrintText(t);
}

void CmdQuit(Client& c, const CommandCall&) { c.host.RequestClose(); }

void CmdNop(Client&, const CommandCall&) {}

void CmdNotYet(Client& c, const CommandCall& call) {
  c.Message(std::string("Команда "_cp) + std::string(call.word) +
            std::string(" в этой версии ещё не работает."_cp));
}

}  // namespace tarnel
