// "/man", "/help" and "/manual": the built-in manual, and the player's own
// topics in the variables "manual.<topic>".

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/manual_texts.h"
#include "interp/words.h"
#include "text/cp1251.h"
#include "text/encoding.h"

namespace tarnel {

using namespace literals;

namespace {

constexpr std::size_t kRedirectLength = 15;

const TStringList& Manual(Client& c) {
  if (c.ManualTexts.Count() == 0) {
    for (const ManualTopic& t : ManualTopicsUtf8()) {
      std::string line(t.name);
      line += '=';
      line += text::Utf8ToCp1251(t.text);
      c.ManualTexts.Add(line);
    }
  }
  return c.ManualTexts;
}

std::string ManualText(Client& c, std::string_view topic) {
  const TStringList& m = Manual(c);
  const int i = m.IndexOfName(topic);
  return i < 0 ? std::string() : std::string(m.ValueAt(i));
}

std::string TopicOf(std::string_view params) {
  std::string t = Unquote(TrimLeftBlanks(Unquote(params)));
  const auto cut = t.find_first_of(" ;");
  if (cut != std::string::npos) t.erase(cut);
  return TrimRightBlanks(Unquote(t));
}

}  // namespace

std::string ManualOverview() { return text::Utf8ToCp1251(ManualOverviewUtf8()); }

void CmdManual(Client& c, const CommandCall& call) {
  std::string topic = TopicOf(call.params);
  if (topic == "about" || topic == "/about") {
    c.interp.RunCommand("/about", true, call.LocalVars, call.LocalFuncs);
    return;
  }
  bool overview = true;
  if (!topic.empty()) {
    if (topic.back() == '>') topic.pop_back();
    if (!topic.empty() && topic.front() == '<') topic.erase(0, 1);
    if (!topic.empty() && topic.front() == '/') topic.erase(0, 1);
    std::string text = ManualText(c, topic);
    if (text.size() < kRedirectLength && !text.empty()) {
      topic = text;
      text = ManualText(c, topic);
    }
    if (text.size() > kRedirectLength) {
      std::string out = "\r\n\x1b[1;37m** " + topic + "\x1b[0;37m" + text + "\r\n";
      out += "Для общей справки по командам наберите /man или /help без параметров."_cp;
      out += "\r\n";
      c.PrintText(out);
      overview = false;
    }
    const std::string own = c.store.Var("manual." + topic);
    if (!own.empty()) {
      overview = false;
      c.interp.RunCommand("/echo {" + own + "}", false, call.LocalVars, call.LocalFuncs);
    }
  }
  if (overview) {
    std::string out = ManualOverview();
    const TStringList& vars = c.store.Variables();
    bool first = true;
    for (int i = 0; i < vars.Count(); ++i) {
      const std::string_view name = vars.NameAt(i);
      if (name.substr(0, 7) != "manual.") continue;
      if (first) {
        out += "\r\nПодключены внешние разделы (\"/man имя раздела\" для справки):\r\n  "_cp;
        first = false;
      } else {
        out += ", ";
      }
      out += "\x1b[1;37m" + std::string(name.substr(7)) + "\x1b[0;37m";
    }
    c.PrintText(out);
  }
  c.PrintText("\r\n");
}

}  // namespace tarnel
