#include "interp/hash_dialect.h"

#include <algorithm>

#include "interp/client.h"
#include "interp/words.h"
#include "text/case_fold.h"
#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

int HashColour(std::string_view text) {
  std::string word = Unquote(text::LowerAscii(text));
  if (const auto blank = word.rfind(' '); blank != std::string::npos) word.erase(0, blank + 1);
  static constexpr std::string_view kColours[] = {"black", "red", "green", "yellow", "blue", "magenta", "cyan", "white"};
  for (int i = 0; i < 8; ++i)
    if (word == kColours[i]) return i;
  return 0;
}

namespace {

bool WholeNumberAboveZero(std::string_view w) {
  if (w.empty() || !std::all_of(w.begin(), w.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) return false;
  return w.find_first_not_of('0') != std::string_view::npos;
}

}  // namespace

std::string TranslateHash(Client& c, std::string_view statement, bool echo, TStringList& LocalVars,
                          TStringList& LocalFuncs) {
  std::string word, rest;
  SplitFirstWord(statement, word, rest);
  rest = TrimLeftBlanks(rest);
  std::replace(rest.begin(), rest.end(), '$', '%');
  for (std::size_t at; (at = rest.find("%%")) != std::string::npos;) rest.erase(at, 1);
  word = c.interp.Abbreviate(word);
  if (!word.empty() && word[0] == '#') word.erase(0, 1);
  auto w = [&rest](int n) { return WordAt(rest, n); };

  if (word == "group") {
    if (w(1) == "enable") return "/set group " + w(2) + "=on";
    if (w(1) == "disable") return "/set group " + w(2) + "=off";
    return {};
  }
  if (word == "alias") return "/set macro {" + w(3) + "." + w(1) + "}={" + w(2) + "}";
  if (word == "action") return "/set trig {" + w(4) + "." + w(1) + "}={" + w(2) + "}";
  if (word == "bell") return "/play bell.wav";
  if (word == "connect") return "/connect " + w(1) + " " + w(2);
  if (word == "cr") return "/do";
  if (word == "echo") return "/set global._echo=" + w(1);
  if (word == "hotkey" || word == "hot") return "/set hotkey " + w(1) + "={" + w(2) + "}";
  if (word == "if") return "/if (" + w(1) + ") {" + w(2) + "}";
  if (word == "killall") return "/newprofile";
  if (word == "log") return "/set global._logfile=\"" + w(1) + "\"";
  if (word == "loop") {
    const std::string range = w(1);
    const auto comma = range.find(',');
    const std::string from = range.substr(0, comma);
    const std::string to = comma == std::string::npos ? std::string() : range.substr(comma + 1);
    c.interp.RunCommand("/set macro jmc._jmcloop={" + w(2) + "};/set jmc._jmcloopcount=" + from +
                            ";/while (%jmc._jmcloopcount<=" + to +
                            ") {_jmcloop %jmc._jmcloopcount;/inc jmc._jmcloopcount};"
                            "/free macro jmc._jmcloop;/free jmc._jmcloopcount",
                        echo, LocalVars, LocalFuncs);
    return {};
  }
  if (word == "math") return "/set {" + w(1) + "}={" + w(2) + "}";
  if (word == "message") return "/echo " + rest + " is now set to %" + rest;
  if (word == "nop") return "/nop";
  if (word == "read") return "/run " + w(1);
  if (word == "showme") return "/echo " + rest;
  if (word == "textin") return "/type " + w(1);
  if (word == "tickset") return "/set global._tick=%global._tick";
  if (word == "ticksize") return "/set global._tick=" + w(1);
  if (word == "unaction") return "/free trig {" + w(1) + "}";
  if (word == "unalias") return "/free macro {" + w(1) + "}";
  if (word == "unhighlight") return "/free {highlights." + w(1) + "}";
  if (word == "unvariable") return "/free {" + w(1) + "}";
  if (word == "variable" || word == "var") return "/set {" + w(1) + "}={" + w(2) + "}";
  if (word == "write") return "/save";
  if (word == "highlight") {
    std::string colours = w(1);
    if (colours.find(',') == std::string::npos) colours += ',';
    const auto comma = colours.find(',');
    const int f = HashColour(std::string_view(colours).substr(0, comma));
    const int b = HashColour(std::string_view(colours).substr(comma + 1));
    return "/set {highlights." + w(2) + "}={" + std::to_string(b) + " " + std::to_string(f) + " /w}";
  }
  if (word == "zap") return "/disconnect";
  if (WholeNumberAboveZero(word)) return "/" + word + " " + rest;
  std::string message;
  message += "Ошибка: команда #"_cp;
  message += word;
  message += " не поддерживается"_cp;
  c.Message(message);
  return {};
}

}  // namespace tarnel
