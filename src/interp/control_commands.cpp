// "/if", "/while", "/do", "/break" and "/breakall".

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/condition.h"
#include "interp/words.h"
#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

namespace {

// Splits "(condition) rest" into the condition with its parentheses and the
// rest without leading blanks.  Quotes are not considered here.  False when
// the text does not begin with "(" or the parenthesis has no partner.
bool SplitCondition(std::string_view p, std::string_view& condition, std::string_view& rest) {
  if (p.empty() || p.front() != '(') return false;
  int depth = 1;
  std::size_t i = 1;
  for (; i < p.size() && depth > 0; ++i) {
    if (p[i] == '(') ++depth;
    if (p[i] == ')') --depth;
  }
  if (depth != 0) return false;
  condition = p.substr(0, i);
  rest = TrimLeftBlanksView(p.substr(i));
  return true;
}

}  // namespace

// The parts are views into the statement: a block nested in blocks is never
// copied level by level.
void CmdIf(Client& c, const CommandCall& call) {
  std::string_view condition, rest;
  if (!SplitCondition(call.params, condition, rest)) {
    c.ParamError(call.word);
    return;
  }
  // The else part starts at the first "else" that follows blanks outside
  // double quotes and braces; it need not be followed by a blank.
  std::string_view then_part = rest;
  std::string_view else_part;
  bool has_else = false;
  bool quoted = false;
  int depth = 0;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    const char ch = rest[i];
    if (ch == '"') {
      quoted = !quoted;
    } else if (!quoted && ch == '{') {
      ++depth;
    } else if (!quoted && ch == '}') {
      --depth;
    } else if (ch == ' ' && !quoted && depth == 0) {
      std::size_t j = i;
      while (j < rest.size() && rest[j] == ' ') ++j;
      if (rest.size() - j >= 5 && rest.compare(j, 4, "else") == 0) {
        then_part = rest.substr(0, i);
        else_part = UnquoteView(TrimLeftBlanksView(rest.substr(j + 4)));
        if (else_part.empty()) else_part = "/do";
        has_else = true;
        break;
      }
    }
  }
  then_part = UnquoteView(then_part);
  if (EvaluateCondition(c, condition, call.LocalVars, call.LocalFuncs))
    c.interp.RunCommand(then_part, true, call.LocalVars, call.LocalFuncs);
  else if (has_else)
    c.interp.RunCommand(else_part, true, call.LocalVars, call.LocalFuncs);
}

void CmdWhile(Client& c, const CommandCall& call) {
  std::string_view condition, rest;
  if (!SplitCondition(call.params, condition, rest)) {
    c.ParamError(call.word);
    return;
  }
  const std::string_view body = UnquoteView(rest);
  Interpreter& in = c.interp;
  in.BreakRequested = false;
  // The loop keeps nothing from one repetition to the next, so it may run
  // for as long as the player lets it; the message loop runs every second
  // repetition and a waiting keystroke reaches the command line, so a
  // typed "/break" stops it.
  for (unsigned long long count = 1;; ++count) {
    if (!EvaluateCondition(c, condition, call.LocalVars, call.LocalFuncs)) break;
    if (in.BreakRequested || in.BreakAllRequested) break;
    in.RunCommand(body, true, call.LocalVars, call.LocalFuncs);
    c.host.InsertPendingKey();
    if (count % 2 == 0) c.ProcessMessages();
  }
  if (c.EchoOn() && in.BreakRequested) c.PrintText("** Цикл остановлен по команде /break.\r\n"_cp);
  in.BreakRequested = false;
  if (c.EchoOn() && in.BreakAllRequested)
    c.PrintText("** Цикл остановлен по команде /breakall.\r\n"_cp);
}

void CmdDo(Client& c, const CommandCall& call) {
  c.interp.RunCommand(UnquoteView(call.params), true, call.LocalVars, call.LocalFuncs);
}

void CmdBreak(Client& c, const CommandCall&) { c.interp.BreakRequested = true; }

void CmdBreakAll(Client& c, const CommandCall&) { c.interp.BreakAll(); }

}  // namespace tarnel
