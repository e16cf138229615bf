#include "interp/interpreter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <exception>

#include "interp/client.h"
#include "interp/hash_dialect.h"
#include "interp/commands.h"
#include "interp/words.h"
#include "text/case_fold.h"
#include "text/cp1251.h"
#include "text/numbers.h"

namespace tarnel {

using namespace literals;

namespace {

// The bytes that can end a statement or change how a ";" is read: most
// bytes of a command are none of them and are passed over at once.
constexpr std::array<bool, 256> kStatementMarks = [] {
  std::array<bool, 256> marks{};
  for (const unsigned char c : {'"', '\'', ';', '{', '}'}) marks[c] = true;
  return marks;
}();
inline bool IsStatementMark(char c) { return kStatementMarks[static_cast<unsigned char>(c)]; }


constexpr int kMaxDepth = 127;

// Inlined where it is called with a literal, so the comparison is a few
// loads rather than a call: every statement asks it several times.
[[gnu::always_inline]] inline bool StartsWith(std::string_view s, std::string_view p) {
  return s.size() >= p.size() && std::memcmp(s.data(), p.data(), p.size()) == 0;
}

bool IsBreakAll(std::string_view text) { return TrimBlanks(text) == "/breakall"; }

// Runs its action however an invocation ends.
template <typename F>
class OnExit {
 public:
  explicit OnExit(F f) : f_(std::move(f)) {}
  OnExit(const OnExit&) = delete;
  OnExit& operator=(const OnExit&) = delete;
  ~OnExit() { f_(); }

 private:
  F f_;
};

}  // namespace

Interpreter::Interpreter(Client& client) : client_(client) {
  for (std::string_view word : CommandNameEntries()) command_names_.Add(std::string(word));
  std::vector<std::string> sorted = command_names_.Lines();
  std::stable_sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
    return text::CompareText(a, b) < 0;
  });
  command_names_.Clear();
  command_names_.Add("/man");
  for (auto& word : sorted) command_names_.Add(std::move(word));
  for (const std::string& name : command_names_.Lines()) folded_names_.insert(text::FoldCase(name));
  for (int i = 0; i < command_names_.Count(); ++i) prefix_order_.emplace_back(command_names_[i], i);
  std::sort(prefix_order_.begin(), prefix_order_.end());
  // A word written exactly as a command name is its own abbreviation.
  exact_handlers_.emplace("/man", FindCommand("/man"));
  for (std::string_view word : CommandNameEntries()) exact_handlers_.emplace(word, FindCommand(word));
}

void Interpreter::ExecuteCommand(std::string_view text, bool echo) {
  TStringList local_vars;
  TStringList local_funcs;
  RunCommand(text, echo, local_vars, local_funcs);
}

void Interpreter::SetBusyIndicator(char c) {
  if (busy_ == c) return;
  busy_ = c;
  client_.host.BusyIndicatorChanged(c);
}

void Interpreter::TurnBusyIndicator() {
  switch (busy_) {
    case '-': SetBusyIndicator('\\'); break;
    case '/': SetBusyIndicator('-'); break;
    case '>':
    case '|': SetBusyIndicator('/'); break;
    case '\\': SetBusyIndicator('|'); break;
    default: break;
  }
}

void Interpreter::LowerDepth(bool reset_busy) {
  --CommandDepth;
  if (CommandDepth != 0) return;
  if (reset_busy) SetBusyIndicator('>');
  // A "/breakall" of an event batch (a hotkey's) must not stop the next
  // batch before it starts.
  ClearBreaks();
}

void Interpreter::ClearBreaks() {
  BreakRequested = false;
  BreakAllRequested = false;
  AbortRequested = false;
}

void Interpreter::BreakAll() {
  BreakAllRequested = true;
  if (Pumping > 0) AbortRequested = true;
}

void Interpreter::EndOfBatch() {
  client_.RefreshPanels();
  SetBusyIndicator('>');
  ClearBreaks();
}

void Interpreter::RunCommand(std::string_view text, bool echo, TStringList& LocalVars,
                             TStringList& LocalFuncs) {
  if (AbortRequested) return;
  // The player's way out of a runaway batch works at any depth.
  if (CommandDepth > kMaxDepth && !(Pumping > 0 && IsBreakAll(text))) {
    client_.Message("Ошибка: слишком много вложенных команд."_cp);
    return;
  }
  TurnBusyIndicator();
  const bool top_level = CommandDepth == 0;
  ++CommandDepth;
  {
    OnExit guard([this] {
      --CommandDepth;
      if (CommandDepth == 0) EndOfBatch();
    });
    try {
      if (top_level) GrabArguments(text, LocalVars, LocalFuncs);
      std::string_view rest = text;
      while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
      // Statements end at ";" outside quotes and braces; each one but the
      // last runs at once with echo on.
      bool quoted = false;
      int depth = 0;
      std::size_t start = 0;
      for (std::size_t i = 0; i < rest.size(); ++i) {
        const char c = rest[i];
        if (!IsStatementMark(c)) continue;
        if (c == '"' || c == '\'') {
          quoted = !quoted;
        } else if (!quoted && c == '{') {
          ++depth;
        } else if (!quoted && c == '}') {
          --depth;
        } else if (c == ';' && !quoted && depth == 0) {
          RunCommand(rest.substr(start, i - start), true, LocalVars, LocalFuncs);
          start = i + 1;
        }
      }
      Statement(rest.substr(start), echo, LocalVars, LocalFuncs);
    } catch (const std::exception& e) {
      // A failing statement ends silently; the batch goes on.
      client_.host.DebugOutput(std::string("command failed: ") + e.what() + "\r\n");
    }
  }
  client_.ProcessMessages();
}

void Interpreter::GrabArguments(std::string_view text, TStringList& LocalVars,
                                TStringList& LocalFuncs) {
  if (!client_.store.VarOn("global._arggrab")) return;
  if (text.find_first_of("'{%\"}#;") != std::string_view::npos) return;
  std::string s = TrimRightBlanks(text);
  s += ' ';
  std::vector<std::string> words;
  std::size_t start = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == ' ') {
      words.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  words.push_back(s.substr(start));
  bool first = true;
  for (std::size_t k = 0; k < words.size(); ++k) {
    const std::string& w = words[k];
    if (w.empty()) continue;
    std::string next = k + 1 < words.size() ? words[k + 1] : std::string();
    const auto eq = next.find('=');
    if (eq != std::string::npos) next.resize(eq);
    if (!next.empty()) {
      RunCommand("/set argument autoarg." + next + "=" + w, false, LocalVars, LocalFuncs);
    } else if (first && w[0] != '/') {
      RunCommand("/set argument autoarg." + w + "=", false, LocalVars, LocalFuncs);
    }
    first = false;
  }
}

void Interpreter::Statement(std::string_view statement, bool echo, TStringList& LocalVars,
                            TStringList& LocalFuncs) {
  const bool builtin = NextStatementBuiltin;
  NextStatementBuiltin = false;
  // The statement is a view into the batch's text for as long as nothing
  // changes it, so blocks nested in blocks share one copy of their text.
  std::string owned;
  if (StartsWith(statement, "#") || StartsWith(statement, "/#")) {
    if (statement[0] == '/') statement.remove_prefix(1);
    // The "#" dialect runs as the command it stands for.
    owned = TranslateHash(client_, statement, echo, LocalVars, LocalFuncs);
    if (owned.empty()) owned = "/nope";
    statement = owned;
  }
  const bool debug = client_.store.VarOn(debug_setting_);
  if (debug) client_.PrintText("** " + std::string(statement) + "\r\n");
  if (!StartsWith(statement, "/while ") && !StartsWith(statement, "/if ") &&
      statement.find('%') != std::string_view::npos) {
    std::string substituted = SubstituteVariables(statement, LocalVars);
    substituted = SubstituteFunctions(substituted, LocalVars, LocalFuncs);
    if (substituted != statement) {
      owned = std::move(substituted);
      statement = owned;
    }
  }
  if (debug) client_.PrintText("   " + std::string(statement) + "\r\n");

  std::string_view word_view, rest;
  SplitFirstWord(statement, word_view, rest);

  const bool file_word = builtin && (word_view == "/set" || word_view == "/include");
  const std::string macro = file_word || NamesNoMacro(word_view)
                                ? std::string()
                                : client_.store.FindEnabled(EntryKind::Macros, word_view);
  if (!macro.empty()) {
    const std::string expanded = ExpandMacro(macro, rest);
    RunCommand(expanded, echo, LocalVars, LocalFuncs);
    return;
  }

  if (!StartsWith(word_view, "/") || StartsWith(word_view, "//")) {
    if (StartsWith(word_view, "//")) word_view.remove_prefix(1);
    client_.connection.SendLine(word_view, rest, echo);
    client_.ProcessMessages();
    return;
  }

  // Most words are a command name as written: found without folding.
  CommandHandler exact_handler = nullptr;
  if (word_view == last_exact_word_) {
    exact_handler = last_exact_handler_;
  } else if (const auto exact = exact_handlers_.find(word_view); exact != exact_handlers_.end() && exact->second) {
    exact_handler = exact->second;
    last_exact_word_.assign(word_view);
    last_exact_handler_ = exact_handler;
  }
  if (exact_handler != nullptr) {
    exact_handler(client_, CommandCall{word_view, rest, echo, LocalVars, LocalFuncs});
    return;
  }
  const std::string word = Abbreviate(word_view);
  if (CommandHandler handler = FindCommand(word)) {
    handler(client_, CommandCall{word, rest, echo, LocalVars, LocalFuncs});
    return;
  }

  // Repeat form: "/3 kill orc".
  if (auto n = text::ReadInteger(std::string_view(word).substr(1)); n && *n >= 1) {
    for (std::int64_t i = 1; i <= *n; ++i) {
      if (BreakRequested || BreakAllRequested) break;
      RunCommand(rest, echo, LocalVars, LocalFuncs);
      if (i % 2 == 0) client_.ProcessMessages();
    }
    return;
  }

  // Assignment form: "/x=5".  The statement is put back together as it was
  // written (no blank is added when nothing followed the word).
  std::string joined = word;
  if (!rest.empty()) joined += " " + std::string(rest);
  const auto eq = joined.find('=');
  const auto paren = joined.find('(');
  if (eq != std::string::npos && (paren == std::string::npos || paren < eq)) {
    RunCommand("/set " + joined.substr(1), true, LocalVars, LocalFuncs);
    return;
  }

  client_.Message(std::string("Неизвестная команда "_cp) + word +
                  std::string(", наберите /man для справки."_cp));
}

bool Interpreter::NamesNoMacro(std::string_view word) {
  const TStringList& macros = client_.store.Macros();
  if (no_macro_known_ && no_macro_stamp_ == macros.Changes() && word == no_macro_word_) return true;
  if (macros.IndexOfShortName(word) >= 0) return false;
  no_macro_known_ = true;
  no_macro_stamp_ = macros.Changes();
  no_macro_word_.assign(word);
  return true;
}

std::string Interpreter::Abbreviate(std::string_view word) const {
  if (folded_names_.count(text::FoldCase(word)) != 0) return std::string(word);
  // The first name in the list that begins with the word.
  int first = -1;
  for (auto it = std::lower_bound(prefix_order_.begin(), prefix_order_.end(),
                                  word, [](const auto& e, std::string_view w) { return std::string_view(e.first) < w; });
       it != prefix_order_.end() && StartsWith(it->first, word); ++it)
    if (first < 0 || it->second < first) first = it->second;
  return first < 0 ? std::string(word) : command_names_[first];
}

}  // namespace tarnel
