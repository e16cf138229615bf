#include "script/profile_writer.h"

#include <string_view>

#include "interp/variable_names.h"
#include "interp/words.h"
#include "script/exact_line.h"
#include "script/script_file.h"
#include "script/set_entry.h"

namespace tarnel {

namespace {

bool NeverWritten(std::string_view name) {
  return name == "global._currow_esc" || name == "global._currow_clean" ||
         name == "global._lastrow" || name == "autostats._parsing";
}

// Whether the statement reaches its handler as written: no ";" splits it (the
// interpreter's quotes are either kind, closed by either), no variable
// reference is replaced (double quotes and braces hide them) and nothing
// looks like a call of a user function.
bool ReachesHandlerWhole(std::string_view s) {
  bool quoted = false;
  int depth = 0;
  for (char c : s) {
    if (c == '"' || c == '\'')
      quoted = !quoted;
    else if (!quoted && c == '{')
      ++depth;
    else if (!quoted && c == '}')
      --depth;
    else if (c == ';' && !quoted && depth == 0)
      return false;
  }
  quoted = false;
  depth = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"')
      quoted = !quoted;
    else if (!quoted && c == '{')
      ++depth;
    else if (!quoted && c == '}')
      --depth;
    else if (c == '%' && !quoted && depth == 0 && i + 1 < s.size() &&
             IsNameStart(static_cast<unsigned char>(s[i + 1])))
      return false;
  }
  // A "%" outside quotes and braces followed by a parenthesised part is a
  // call whether or not such a function exists now.
  quoted = false;
  depth = 0;
  int parens = 0;
  bool call = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"' || (c == '\'' && parens > 0)) {
      quoted = !quoted;
      continue;
    }
    if (quoted) continue;
    if (c == '{' || c == '}') {
      depth += c == '{' ? 1 : -1;
      continue;
    }
    if (depth != 0) continue;
    if (c == '%' && parens == 0) {
      call = call || i + 1 < s.size();
    } else if (call && c == '(') {
      ++parens;
    } else if (call && c == ')' && parens > 0 && --parens == 0) {
      return false;
    }
  }
  return true;
}

// Whether a written line comes through the loader as one statement that is
// not changed on its way to its handler.
bool LoadsAsOneStatement(std::string_view line) {
  if (line.find_first_of("\r\n") != std::string_view::npos) return false;
  return BraceDepth(line) <= 0 && ReachesHandlerWhole(line);
}

class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}

  void Entry(EntryKind kind, std::string_view kind_word, bool quote_name, std::string_view name,
             std::string_view value) {
    // The plain line, as profiles have always been written; then the same
    // with the value between quotes, and with a quoted name.
    static constexpr std::string_view kDelimiters[][2] = {{"{", "}"}, {"\"", "\""}, {"'", "'"}};
    const std::string expected = EntryName(kind, std::string(name));
    for (int quoted = quote_name ? 1 : 0; quoted < 2; ++quoted) {
      for (const auto& d : kDelimiters) {
        line_.assign("set ").append(kind_word).append(" ");
        if (quoted) line_ += '"';
        line_.append(name);
        if (quoted) line_ += '"';
        line_.append("=").append(d[0]).append(value).append(d[1]);
        if (CarriesEntry(kind, expected, value)) {
          Put(line_);
          return;
        }
      }
    }
    Put(WriteExactLine({std::string(kind_word), std::string(name), std::string(value)}));
  }

  void Include(std::string_view path) {
    line_.assign("include {").append(path).append("}");
    if (LoadsAsOneStatement(line_) && Unquote(std::string_view(line_).substr(8)) == path) {
      Put(line_);
      return;
    }
    Put(WriteExactLine({std::string(), std::string(), std::string(path)}));
  }

 private:
  // What "/set" makes of line_ (its parameters follow "set ").
  bool CarriesEntry(EntryKind kind, const std::string& name, std::string_view value) const {
    if (!LoadsAsOneStatement(line_)) return false;
    const std::string_view params = std::string_view(line_).substr(4);
    const auto blank = params.find(' ');
    if (KindWord(params.substr(0, blank)) != kind) return false;
    const auto entry = ParseSetEntry(kind, params.substr(blank + 1));
    return entry && !entry->formula && entry->name == name && entry->value == value;
  }

  void Put(std::string_view line) { out_.append(line).append("\r\n"); }

  std::string& out_;
  std::string line_;
};

}  // namespace

std::string BuildProfileText(ScriptStore& store) {
  std::size_t size = 0;
  for (EntryKind k : {EntryKind::Macros, EntryKind::Hotkeys, EntryKind::Triggers,
                      EntryKind::Functions, EntryKind::Arguments, EntryKind::Variables})
    for (const std::string& line : store.List(k).Lines()) size += line.size() + 20;
  std::string out;
  out.reserve(size);
  Writer w(out);

  auto entries = [&](EntryKind kind, std::string_view kind_word, bool quote_name) {
    for (const std::string& line : store.List(kind).Lines()) {
      const auto eq = line.find('=');
      const std::string_view name = std::string_view(line).substr(0, eq);
      const std::string_view value =
          eq == std::string::npos ? std::string_view() : std::string_view(line).substr(eq + 1);
      w.Entry(kind, kind_word, quote_name, name, value);
    }
  };
  entries(EntryKind::Macros, "macro", false);
  entries(EntryKind::Hotkeys, "hotkey", false);
  entries(EntryKind::Triggers, "trig", true);
  entries(EntryKind::Functions, "func", true);
  entries(EntryKind::Arguments, "arg", false);

  const TStringList& vars = store.Variables();
  std::string autosave_key;
  for (const std::string& line : vars.Lines()) {
    const auto eq = line.find('=');
    const std::string_view name = std::string_view(line).substr(0, eq);
    const std::string_view value =
        eq == std::string::npos ? std::string_view() : std::string_view(line).substr(eq + 1);
    if (name.substr(0, 15) == "global._include") {
      w.Include(value);
      continue;
    }
    if (NeverWritten(name)) continue;
    const std::string_view group = TStringList::GroupOf(name);
    bool kept = group == "global" || group == "manual";
    if (!kept) {
      autosave_key.assign(group).append("._autosave");
      kept = vars.GetValue(autosave_key) == "on";
    }
    if (kept) w.Entry(EntryKind::Variables, "var", false, name, value);
  }
  return out;
}

}  // namespace tarnel
