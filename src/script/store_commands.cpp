// "/set", "/free", "/inc" and "/dec": the only commands that write the store
// directly.  Every other command builds a "/set" statement, so the rules
// here apply everywhere.

#include <cstring>
#include <optional>

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/formula.h"
#include "interp/words.h"
#include "script/set_entry.h"
#include "text/case_fold.h"
#include "text/cp1251.h"
#include "text/numbers.h"
#include "text/paths.h"

namespace tarnel {

using namespace literals;

namespace {

// Inlined where it is called with a literal, so the comparison is a few
// loads rather than a call: every statement asks it several times.
[[gnu::always_inline]] inline bool StartsWith(std::string_view s, std::string_view p) {
  return s.size() >= p.size() && std::memcmp(s.data(), p.data(), p.size()) == 0;
}

std::string WithDefaultGroup(std::string name) {
  if (name.find('.') == std::string::npos) name.insert(0, "default.");
  return name;
}

// "global" and "manual" cannot be switched off or freed.  The comparison
// ignores letter case, since the group lookup does too.
bool ReadOnlyGroup(std::string_view g) {
  return text::SameText(g, "global") || text::SameText(g, "manual");
}

void ReadOnlyMessage(Client& c, std::string_view g) {
  c.Message(std::string("Ошибка в параметрах, группа "_cp) + std::string(g) +
            std::string(" только для чтения."_cp));
}

void MissingGroupMessage(Client& c, std::string_view g) {
  c.Message(std::string("Ошибка в параметрах, группы \""_cp) + std::string(g) +
            std::string("\" не существует."_cp));
}

void SetGroup(Client& c, std::string r) {
  if (StartsWith(r, "group.")) r.erase(0, 6);
  const auto eq = r.find('=');
  const std::string name = r.substr(0, eq);
  const std::string value = eq == std::string::npos ? std::string() : Unquote(r.substr(eq + 1));
  if (ReadOnlyGroup(name)) {
    ReadOnlyMessage(c, name);
    return;
  }
  TStringList& groups = c.store.Groups();
  const int idx = groups.IndexOfName("group." + name);
  if (idx < 0) {
    if (name != "map" && name != "toolbox") MissingGroupMessage(c, name);
    return;
  }
  std::string state;
  if (value == "on" || value == "enable")
    state = "on";
  else if (value == "off" || value == "disable")
    state = "off";
  if (state.empty()) {
    c.Message("Ошибка в параметрах, группа может принимать только значения on и off."_cp);
    return;
  }
  groups.Put(idx, "group." + name + "=" + state);
  if (name == "toolbox" || name == "map") c.RefreshPanels();
  if (c.EchoOn()) c.PrintText("** group " + name + "=" + state + "\r\n");
}

void FreeGroup(Client& c, std::string r) {
  if (StartsWith(r, "group.")) r.erase(0, 6);
  const std::string& name = r;
  if (ReadOnlyGroup(name)) {
    ReadOnlyMessage(c, name);
    return;
  }
  if (c.store.Groups().IndexOfName("group." + name) < 0) {
    if (name != "map" && name != "toolbox") MissingGroupMessage(c, name);
    return;
  }
  const std::string prefix = name + ".";
  static constexpr EntryKind kinds[] = {EntryKind::Macros,    EntryKind::Variables,
                                        EntryKind::Triggers,  EntryKind::Functions,
                                        EntryKind::Arguments, EntryKind::Hotkeys};
  for (EntryKind k : kinds)
    c.store.List(k).RemoveIf([&](const std::string& line) { return StartsWith(line, prefix); });
  c.store.PruneGroups();
}

void RestartTick(Client& c, std::string_view value) {
  c.host.StopTimer(TimerId::Tick);
  const std::int64_t seconds = text::IntegerOr(value, 0);
  const std::int64_t ms = seconds > 0 && seconds < 2000000 ? seconds * 1000 : 0;
  c.host.StartTimer(TimerId::Tick, static_cast<int>(ms));
}

void IncDec(Client& c, const CommandCall& call, int sign) {
  std::string name = WordAt(call.params, 1);
  if (name.empty()) {
    c.ParamError(call.word);
    return;
  }
  name = WithDefaultGroup(std::move(name));
  TStringList& list = StartsWith(name, "local.") ? call.LocalVars : c.store.Variables();
  const int idx = list.IndexOfName(name);
  if (idx < 0) {
    c.Message(std::string("Ошибка в параметрах, переменной "_cp) + name +
              std::string(" не существует."_cp));
    return;
  }
  const std::string amount_text = WordAt(call.params, 2);
  const std::int64_t amount = amount_text.empty() ? 1 : text::IntegerOr(amount_text, 0);
  if (amount == 0) {
    c.Message(std::string("Ошибка в параметрах, "_cp) + std::string(call.params) +
              std::string(" не числовое значение."_cp));
    return;
  }
  const std::int64_t current = text::IntegerOr(list.ValueAt(idx), 0);
  const std::int64_t next = static_cast<std::int64_t>(
      static_cast<std::uint64_t>(current) + static_cast<std::uint64_t>(sign * amount));
  const std::string value = std::to_string(next);
  list.SetValue(name, value);
  if (c.EchoOn()) c.PrintText("** var " + name + "=" + value + "\r\n");
  if (text::SameText(name, "global._tick")) RestartTick(c, value);
}

// The optional kind word of "/set" and "/free" and the entry text after it.
// The group words hand the rest to `group` instead.  Nothing when the
// command is done with (a group handled or the parameter error shown).
struct KindAndEntry {
  EntryKind kind;
  std::string_view entry;  // within the call's parameters
};

std::optional<KindAndEntry> SplitKind(Client& c, const CommandCall& call,
                                      void (*group)(Client&, std::string)) {
  std::string_view k, r;
  SplitFirstWord(call.params, k, r);
  auto kw = KindWord(k);
  if (!kw) return KindAndEntry{EntryKind::Variables, call.params};
  if (*kw == EntryKind::Groups) {
    group(c, std::string(r));
    return std::nullopt;
  }
  if (r.empty()) {
    c.ParamError(call.word);
    return std::nullopt;
  }
  return KindAndEntry{*kw, r};
}

}  // namespace

std::optional<EntryKind> KindWord(std::string_view k) {
  static constexpr struct {
    std::string_view word;
    EntryKind kind;
  } kWords[] = {
      {"macro", EntryKind::Macros},      {"macros", EntryKind::Macros},
      {"var", EntryKind::Variables},     {"variable", EntryKind::Variables},
      {"vars", EntryKind::Variables},    {"variables", EntryKind::Variables},
      {"trig", EntryKind::Triggers},     {"trigger", EntryKind::Triggers},
      {"trigs", EntryKind::Triggers},    {"triggers", EntryKind::Triggers},
      {"trigg", EntryKind::Triggers},    {"triggs", EntryKind::Triggers},
      {"function", EntryKind::Functions}, {"func", EntryKind::Functions},
      {"funcs", EntryKind::Functions},   {"functions", EntryKind::Functions},
      {"arg", EntryKind::Arguments},     {"argument", EntryKind::Arguments},
      {"args", EntryKind::Arguments},    {"arguments", EntryKind::Arguments},
      {"hotkey", EntryKind::Hotkeys},    {"hot", EntryKind::Hotkeys},
      {"key", EntryKind::Hotkeys},       {"hotkeys", EntryKind::Hotkeys},
      {"hots", EntryKind::Hotkeys},      {"keys", EntryKind::Hotkeys},
      {"group", EntryKind::Groups},      {"groups", EntryKind::Groups},
  };
  // Most first words of a "/set" are the entry itself ("hp=120"): none of
  // the kind words is longer than nine letters or holds anything else.
  if (k.empty() || k.size() > 9 || k.front() < 'a' || k.front() > 'v' || k.back() < 'a' || k.back() > 'z')
    return std::nullopt;
  for (const auto& w : kWords)
    if (w.word == k) return w.kind;
  return std::nullopt;
}

std::string EntryName(EntryKind kind, std::string name) {
  name = WithDefaultGroup(std::move(name));
  if (kind == EntryKind::Hotkeys) {
    const auto dot = name.find('.');
    name = name.substr(0, dot + 1) + text::UpperAscii(std::string_view(name).substr(dot + 1));
  }
  return name;
}

std::optional<SetEntryText> ReadSetEntry(std::string_view entry) {
  const auto eq = entry.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  const std::string_view raw = entry.substr(eq + 1);
  return SetEntryText{UnquoteView(entry.substr(0, eq)), UnquoteView(raw), !raw.empty() && raw.front() == '('};
}

void EntryNameInto(EntryKind kind, std::string_view name, std::string& out) {
  // What EntryName gives, built in place: this runs for every "/set".
  if (kind == EntryKind::Hotkeys) {
    out = EntryName(kind, std::string(name));
  } else if (name.find('.') == std::string_view::npos) {
    constexpr std::string_view kDefault = "default.";
    out.clear();
    out.reserve(kDefault.size() + name.size());
    out.append(kDefault).append(name);
  } else {
    out.assign(name);
  }
}

std::optional<SetEntry> ParseSetEntry(EntryKind kind, std::string_view entry) {
  const auto read = ReadSetEntry(entry);
  if (!read) return std::nullopt;
  SetEntry e;
  EntryNameInto(kind, read->name, e.name);
  e.value.assign(read->value);
  e.formula = read->formula;
  return e;
}

void CmdSet(Client& c, const CommandCall& call) {
  if (call.params.find('=') == std::string_view::npos) {
    c.ParamError(call.word);
    return;
  }
  const auto split = SplitKind(c, call, SetGroup);
  if (!split) return;
  const EntryKind kind = split->kind;
  const auto read = ReadSetEntry(split->entry);
  if (!read) {
    c.ParamError(call.word);
    return;
  }
  std::string name;
  EntryNameInto(kind, read->name, name);
  // The value stays a view into the statement unless it is made anew.
  std::string_view value = read->value;
  std::string made;
  auto make = [&](std::string v) {
    made = std::move(v);
    value = made;
  };

  // Only names of the group "global" are special (the comparisons ignore
  // letter case).
  if (name.size() > 7 && text::FoldByte(static_cast<unsigned char>(name[0])) == text::FoldByte('g')) {
    if (text::SameText(name, "global._profile")) {
      make(text::ExpandFileName(value.empty() ? std::string_view("default.tmc") : value));
    } else if (text::SameText(name, "global._logfile")) {
      if (!value.empty()) make(text::ExpandFileName(value));
    } else if (text::SameText(name, "global._tick")) {
      RestartTick(c, value);
    }
    if (text::SameText(name, "global._include")) {
      c.Message("Ошибка в параметрах, используйте команду /include."_cp);
      return;
    }
  }
  if (read->formula) {
    if (auto result = EvaluateFormula(value)) {
      std::string general = text::FormatGeneral(*result);
      const auto dot = general.find('.');
      if (dot != std::string::npos && general.size() - dot - 1 > 2)
        general = text::FormatFixed(*result, 2);
      make(std::move(general));
    } else {
      c.Message(std::string("Ошибка в формуле "_cp) + std::string(value) + ".");
      make("0");
    }
  }
  if (c.EchoOn()) c.PrintText("** set " + name + "=" + std::string(value) + "\r\n");

  if (StartsWith(name, "local.")) {
    if (kind == EntryKind::Variables)
      call.LocalVars.SetValue(name, value);
    else if (kind == EntryKind::Functions)
      call.LocalFuncs.SetValue(name, value);
    else
      c.Message("Ошибка: локальными могут быть только переменные и функции."_cp);
    return;
  }

  TStringList& list = c.store.List(kind);
  const int idx = list.IndexOfName(name);
  // The value is read again after a list changed only on these rarer
  // ways: there it is a copy of its own, whatever text it came from.
  if ((idx < 0 || StartsWith(name, "preview.")) && value.data() != made.data()) make(std::string(value));
  if (idx >= 0) {
    // The name as it stands (letter case and all) keeps the line's storage;
    // another spelling of it replaces the whole line.
    const std::string& old = list[idx];
    if (old.size() > name.size() && old[name.size()] == '=' && old.compare(0, name.size(), name) == 0)
      list.SetValueAt(idx, value, name.size());
    else
      list.Put(idx, name + "=" + std::string(value));
    if (StartsWith(name, "toolbox.") || StartsWith(name, "map.located")) {
      c.RefreshPanels();
      c.host.RedrawMap();
    }
    if (StartsWith(name, "preview.")) c.store.Preview().SetValue(name, value);
    return;
  }
  std::string line;
  line.reserve(name.size() + 1 + value.size());
  line.append(name).append("=").append(value);
  if (StartsWith(name, "preview.")) c.store.Preview().Add(line);
  list.Add(std::move(line));
  if (text::SameText(name, "global._stayontop")) {
    c.host.SetStayOnTop(text::IntegerOr(value, 0) >= 1 || text::UpperAscii(value) == "ON");
  } else if (text::SameText(name, "global._zoommap")) {
    c.host.SetMapZoom(static_cast<int>(text::IntegerOr(value, 0)));
    c.host.RedrawMap();
  } else if (text::SameText(name, "global._mapwidth")) {
    c.host.SetMapPanelWidth(static_cast<int>(text::IntegerOr(value, 0)));
    c.host.RedrawMap();
  } else if (text::SameText(name, "global._mapheight")) {
    c.host.SetMapPanelHeight(static_cast<int>(text::IntegerOr(value, 0)));
    c.host.RedrawMap();
  }
  const std::string group(TStringList::GroupOf(name));
  TStringList& groups = c.store.Groups();
  if (groups.IndexOfName("group." + group) < 0) groups.Add("group." + group + "=on");
  if (group == "toolbox") c.RefreshPanels();
}

void CmdFree(Client& c, const CommandCall& call) {
  const std::string p(call.params);
  if (p.empty()) {
    c.ParamError(call.word);
    return;
  }
  const auto split = SplitKind(c, call, FreeGroup);
  if (!split) return;
  const EntryKind kind = split->kind;
  const std::string name = WithDefaultGroup(Unquote(split->entry));
  TStringList* list = &c.store.List(kind);
  if (StartsWith(name, "local.")) {
    if (kind == EntryKind::Variables) list = &call.LocalVars;
    if (kind == EntryKind::Functions) list = &call.LocalFuncs;
  }
  for (int i = list->IndexOfName(name); i >= 0; i = list->IndexOfName(name)) list->DeleteAt(i);
  c.store.PruneGroups();
}

void CmdInc(Client& c, const CommandCall& call) { IncDec(c, call, 1); }

void CmdDec(Client& c, const CommandCall& call) { IncDec(c, call, -1); }

}  // namespace tarnel
