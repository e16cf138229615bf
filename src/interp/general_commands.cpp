// General commands of the script language.

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/words.h"
#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

namespace {

// "/esc", "/cr" and "/lf" in a text become ESC, CR and LF.
std::string ControlWords(std::string_view text) {
  std::string t = ReplaceAll(text, "/esc", "\x1b");
  t = ReplaceAll(t, "/cr", "\r");
  return ReplaceAll(t, "/lf", "\n");
}

}  // namespace

void CmdEcho(Client& c, const CommandCall& call) {
  c.PrintText(ControlWords(Unquote(call.params)) + "\r\n");
}

void CmdAbout(Client& c, const CommandCall&) {
  const std::string_view kLine = "\x1b[0;37m";
  std::string t = "\r\n";
  t += std::string(kLine) + "Tarnel MUD Client\r\n";
  t += std::string(kLine) + std::string("Версия "_cp) + std::string(ClientVersion()) +
       std::string(" [freeware] билд "_cp) + __DATE__ + "\r\n";
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
