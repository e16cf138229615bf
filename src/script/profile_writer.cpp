#include "script/profile_writer.h"

#include <string_view>

namespace tarnel {

namespace {

bool NeverWritten(std::string_view name) {
  return name == "global._currow_esc" || name == "global._currow_clean" ||
         name == "global._lastrow" || name == "autostats._parsing";
}

}  // namespace

TStringList BuildProfileLines(ScriptStore& store) {
  TStringList out;
  auto entries = [&](EntryKind kind, const char* head, bool quote_name) {
    for (const std::string& line : store.List(kind).Lines()) {
      const auto eq = line.find('=');
      const std::string_view name = std::string_view(line).substr(0, eq);
      const std::string_view value =
          eq == std::string::npos ? std::string_view() : std::string_view(line).substr(eq + 1);
      std::string l = head;
      if (quote_name) l += '"';
      l.append(name);
      if (quote_name) l += '"';
      l += "={";
      l.append(value);
      l += '}';
      out.Add(std::move(l));
    }
  };
  entries(EntryKind::Macros, "set macro ", false);
  entries(EntryKind::Hotkeys, "set hotkey ", false);
  entries(EntryKind::Triggers, "set trig ", true);
  entries(EntryKind::Functions, "set func ", true);
  entries(EntryKind::Arguments, "set arg ", false);

  TStringList& vars = store.Variables();
  for (int i = 0; i < vars.Count(); ++i) {
    const std::string line = vars[i];
    const auto eq = line.find('=');
    const std::string name = line.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
    if (name.rfind("global._include", 0) == 0) {
      out.Add("include {" + value + "}");
      continue;
    }
    if (NeverWritten(name)) continue;
    const std::string group(TStringList::GroupOf(name));
    if (group == "global" || group == "manual" || vars.GetValue(group + "._autosave") == "on")
      out.Add("set var " + name + "={" + value + "}");
  }
  return out;
}

}  // namespace tarnel
