// General commands that touch the screen, the log, files, sound and panels.

#include <cstdio>
#include <memory>

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/set_result.h"
#include "interp/words.h"
#include "text/case_fold.h"
#include "text/cp1251.h"
#include "text/paths.h"
#include "text/stamps.h"

namespace tarnel {

using namespace literals;

namespace {

constexpr int kTypeBatchLines = 25;

// Reads a text file line by line without holding all of it: CR LF, LF or a
// lone CR ends a line, and a last line without an end counts too.
class LineReader {
 public:
  explicit LineReader(std::FILE* f) : f_(f) {}

  // False at the end of the file or on a read error (see Failed).
  bool Next(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
      if (pos_ == len_ && !Fill()) return any;
      const char ch = buf_[pos_++];
      if (skip_lf_) {
        skip_lf_ = false;
        if (ch == '\n') continue;
      }
      if (ch == '\n') return true;
      if (ch == '\r') {
        skip_lf_ = true;
        return true;
      }
      line += ch;
      any = true;
    }
  }
  bool Failed() const { return failed_; }

 private:
  bool Fill() {
    len_ = std::fread(buf_, 1, sizeof buf_, f_);
    pos_ = 0;
    if (len_ == 0 && std::ferror(f_)) failed_ = true;
    return len_ > 0;
  }

  std::FILE* f_;
  char buf_[65536];
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  bool skip_lf_ = false;
  bool failed_ = false;
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

// Replays a file through the incoming pipeline as if the server had sent it,
// 25 lines at a time.
void TypeFile(Client& c, const std::string& name) {
  const std::string full = text::ExpandFileName(name);
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(text::NativePath(full).c_str(), "rb"));
  Interpreter& in = c.interp;
  auto fail = [&] { c.Message(std::string("Ошибка чтения файла "_cp) + full + "."); };
  if (!file) {
    fail();
    return;
  }
  auto reader = std::make_unique<LineReader>(file.get());
  std::string pending;
  std::string line;
  int lines = 0;
  auto flush = [&] {
    if (pending.empty()) return;
    c.incoming.ProcessIncoming(pending);
    pending.clear();
    c.ProcessMessages();
  };
  while (!in.BreakRequested && !in.BreakAllRequested && reader->Next(line)) {
    pending += line;
    pending += "\r\n";
    c.host.InsertPendingKey();
    if (++lines % kTypeBatchLines == 0) flush();
  }
  flush();
  if (reader->Failed()) fail();
  in.BreakRequested = false;
}

}  // namespace

void CmdCls(Client& c, const CommandCall&) {
  c.main_screen.BlankScreen();
  c.host.ClearSelection(TerminalId::Main);
  c.host.RepaintTerminal(TerminalId::Main);
}

void CmdLog(Client& c, const CommandCall& call) {
  c.interp.RunCommand("/set global._logfile=" + std::string(call.params), true, call.LocalVars,
                      call.LocalFuncs);
}

void CmdClear(Client& c, const CommandCall& call) {
  const std::string p = Unquote(call.params);
  if (p.empty()) {
    c.ParamError("/clear");
    return;
  }
  const std::string group_line = text::StartsWithText(p, "group.") ? p : "group." + p;
  if (c.store.Groups().IndexOfName(group_line) < 0) {
    c.Message(std::string("Ошибка в параметрах, группы \""_cp) + p +
              std::string("\" не существует."_cp));
    return;
  }
  // The prefix matches exactly, as "/free group" and the pruning of groups
  // do.  The group's settings ("_" names) stay.
  const std::string prefix = group_line.substr(6) + ".";
  const std::string settings = prefix + "_";
  c.store.Variables().RemoveIf([&](const std::string& line) {
    return line.starts_with(prefix) && !line.starts_with(settings);
  });
  auto in_group = [&](const std::string& line) { return line.starts_with(prefix); };
  c.store.Macros().RemoveIf(in_group);
  c.store.Hotkeys().RemoveIf(in_group);
  c.store.Triggers().RemoveIf(in_group);
  c.store.Preview().RemoveIf(in_group);
  c.store.Functions().RemoveIf(in_group);
  c.store.Arguments().RemoveIf(in_group);
  c.RefreshPanels();
}

void CmdPlay(Client& c, const CommandCall& call) {
  std::string name = WordAt(call.params, 1);
  if (name.empty()) {
    c.ParamError(call.word);
    return;
  }
  // Only the last part of the path can carry the extension.
  const auto slash = name.find_last_of("/\\");
  const auto dot = name.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) name += ".WAV";
  c.host.PlaySound(text::ExpandFileName(name));
}

void CmdFocus(Client& c, const CommandCall&) { c.host.FocusMainWindow(); }

void CmdGetDate(Client& c, const CommandCall& call) {
  const std::string name = WordAt(call.params, 1);
  if (name.empty()) {
    c.ParamError(call.word);
    return;
  }
  c.interp.RunCommand("/set " + VariableName(name) + "=" + text::DateStamp(c.host.Now()), false,
                      call.LocalVars, call.LocalFuncs);
}

void CmdGetTime(Client& c, const CommandCall& call) {
  const std::string name = WordAt(call.params, 1);
  if (name.empty()) {
    c.ParamError(call.word);
    return;
  }
  c.interp.RunCommand("/set " + name + "=" + text::TimeStamp(c.host.Now()), false,
                      call.LocalVars, call.LocalFuncs);
}

void CmdType(Client& c, const CommandCall& call) {
  const int words = WordCount(call.params);
  std::string name;
  if (words == 1) {
    name = WordAt(call.params, 1);
  } else if (words == 0) {
    name = c.host.AskOpenFileName(
        "Текстовые файлы (*.txt, *.log)|*.txt;*.log;|Все файлы|*.*;"_cp);
  }
  if (name.empty()) return;
  TypeFile(c, name);
}

void CmdEditor(Client& c, const CommandCall& call) {
  static constexpr struct {
    std::string_view word;
    EntryKind kind;
  } kEditors[] = {
      {"/macros", EntryKind::Macros},       {"/hotkeys", EntryKind::Hotkeys},
      {"/trigs", EntryKind::Triggers},      {"/funcs", EntryKind::Functions},
      {"/vars", EntryKind::Variables},      {"/args", EntryKind::Arguments},
      {"/groups", EntryKind::Groups},
  };
  for (const auto& e : kEditors) {
    if (e.word != call.word) continue;
    // A host without panels (the console) has no editor to open.
    if (c.host.HasPanelWindows()) c.editor.Open(e.kind, c.store);
    c.host.OpenEntryEditor(e.kind);
    c.RefreshPanels();
    return;
  }
}

void CmdEmulator(Client& c, const CommandCall&) { c.host.ShowEmulatorPanel(); }

}  // namespace tarnel
