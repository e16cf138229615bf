// Variable references, user function calls and macro parameters.

#include <stdexcept>
#include <string>

#include "interp/client.h"
#include "interp/interpreter.h"
#include "interp/variable_names.h"
#include "interp/words.h"
#include "text/case_fold.h"
#include "text/cp1251.h"

namespace tarnel {

using namespace literals;

namespace {

// Function calls nested in arguments count as levels of their own, as
// commands nested in commands do.
constexpr int kMaxNesting = 127;

// Ends the statement whose substitution went too deep.
struct NestingTooDeep : std::runtime_error {
  NestingTooDeep() : std::runtime_error("function calls nested too deeply") {}
};

}  // namespace

std::string Interpreter::SubstituteVariables(std::string_view text, TStringList& LocalVars) {
  if (text.find('%') == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  bool quoted = false;
  int depth = 0;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const char c = text[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == '{') {
      ++depth;
    } else if (!quoted && c == '}') {
      --depth;
    } else if (c == '%' && !quoted && depth == 0 && i + 1 < n &&
               IsNameStart(static_cast<unsigned char>(text[i + 1]))) {
      std::size_t e = i + 1;
      while (e < n && IsNameChar(static_cast<unsigned char>(text[e]))) ++e;
      const std::string_view name = text.substr(i + 1, e - i - 1);
      std::string full;
      if (name.find('.') == std::string_view::npos) full = "default.";
      full.append(name);
      TStringList& vars = client_.store.Variables();
      int idx = vars.IndexOfName(full);
      TStringList* list = &vars;
      if (idx < 0) {
        idx = LocalVars.IndexOfName(name);
        list = &LocalVars;
      }
      if (idx < 0 && e < n && text[e] == '(') {
        // No such variable: leave the reference for the function calls.
        out.append(text.substr(i, e - i));
        i = e;
        continue;
      }
      if (idx >= 0)
        out.append(list->ValueAt(idx));
      else
        out.append(name);
      if (e < n && text[e] == '|') ++e;
      i = e;
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

std::string Interpreter::SubstituteFunctions(std::string_view text, TStringList& LocalVars,
                                             TStringList& LocalFuncs) {
  if (text.find('%') == std::string_view::npos) return std::string(text);
  // Game text can carry calls nested a hundred thousand deep into a
  // command; they end the statement with the nesting message instead of
  // the stack.
  if (CommandDepth + substitution_depth_ > kMaxNesting) {
    client_.Message("Ошибка: слишком много вложенных команд."_cp);
    throw NestingTooDeep();
  }
  ++substitution_depth_;
  struct Leave {
    int& depth;
    ~Leave() { --depth; }
  } leave{substitution_depth_};
  TurnBusyIndicator();
  std::string out;
  out.reserve(text.size());
  bool quoted = false;
  int braces = 0;
  int parens = 0;
  std::size_t call_start = std::string_view::npos;  // position in text of the "%"
  std::size_t copied = 0;                           // text before this is in out
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"' || (c == '\'' && parens > 0)) {
      quoted = !quoted;
      continue;
    }
    if (quoted) continue;
    if (c == '{') {
      ++braces;
      continue;
    }
    if (c == '}') {
      --braces;
      continue;
    }
    if (braces != 0) continue;
    if (c == '%' && parens == 0) {
      if (i + 1 < text.size()) call_start = i;
      continue;
    }
    if (call_start == std::string_view::npos) continue;
    if (c == '(') {
      ++parens;
    } else if (c == ')' && parens > 0) {
      if (--parens == 0) {
        const std::string_view call = text.substr(call_start, i + 1 - call_start);
        bool found = false;
        std::string result = CallFunction(call, LocalVars, LocalFuncs, found);
        if (found) {
          out.append(text.substr(copied, call_start - copied));
          out.append(result);
          copied = i + 1;
        }
        call_start = std::string_view::npos;
      }
    }
  }
  out.append(text.substr(copied));
  return out;
}

std::string Interpreter::CallFunction(std::string_view call, TStringList& LocalVars,
                                      TStringList& LocalFuncs, bool& found) {
  found = false;
  const std::string_view inner = call.substr(1);  // without the "%"
  const auto open = inner.find('(');
  if (open == std::string_view::npos) return {};
  const std::string_view name = inner.substr(0, open);
  const std::string_view args = inner.substr(open);  // with its parentheses
  std::string full;
  if (name.find('.') == std::string_view::npos) full = "default.";
  full.append(name);
  full += '(';
  const bool local = name.size() >= 6 && name.compare(0, 6, "local.") == 0;
  TStringList& list = local ? LocalFuncs : client_.store.Functions();
  int entry = -1;
  for (int k = 0; k < list.Count(); ++k) {
    const std::string& line = list[k];
    if (line.size() >= full.size() && text::SameText(std::string_view(line).substr(0, full.size()), full)) {
      entry = k;
      break;
    }
  }
  if (entry < 0) return {};
  found = true;
  const std::string entry_name(list.NameAt(entry));
  const std::string body(list.ValueAt(entry));

  TStringList callee_vars = LocalVars;
  for (int k = callee_vars.IndexOfName("local.result"); k >= 0;
       k = callee_vars.IndexOfName("local.result"))
    callee_vars.DeleteAt(k);
  TStringList callee_funcs = LocalFuncs;

  // Formal names: the parenthesised list after the function's name.
  std::string formal(std::string_view(entry_name).substr(full.size() - 1));
  if (!formal.empty() && formal.front() == '(') formal.erase(0, 1);
  if (!formal.empty() && formal.back() == ')') formal.pop_back();
  formal += ',';
  std::vector<std::string> names;
  for (std::size_t s = 0, e; (e = formal.find(',', s)) != std::string::npos; s = e + 1)
    names.push_back(TrimBlanks(std::string_view(formal).substr(s, e - s)));

  std::string actual(args);
  if (!actual.empty() && actual.front() == '(') actual.erase(0, 1);
  if (!actual.empty() && actual.back() == ')') actual.pop_back();
  actual += ',';
  std::size_t bound = 0;
  bool quoted = false;
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t k = 0; k < actual.size() && bound < names.size(); ++k) {
    const char c = actual[k];
    if (c == '"' || c == '\'') {
      quoted = !quoted;
    } else if (quoted) {
      continue;
    } else if (c == '(' || c == '{') {
      ++depth;
    } else if (c == ')' || c == '}') {
      --depth;
    } else if (c == ',' && depth == 0) {
      std::string value = TrimRightBlanks(std::string_view(actual).substr(start, k - start));
      value = SubstituteFunctions(value, LocalVars, LocalFuncs);
      if (!names[bound].empty()) callee_vars.Add("local." + names[bound] + "=" + value);
      ++bound;
      start = k + 1;
    }
  }
  RunCommand(body, false, callee_vars, callee_funcs);
  return callee_vars.GetValue("local.result");
}

std::string Interpreter::ExpandMacro(std::string_view body, std::string_view params) {
  TurnBusyIndicator();
  std::string words[10];
  std::string tails[10];
  bool computed[10] = {};
  auto word = [&](int i) -> const std::string& {
    if (!computed[i]) {
      words[i] = WordAt(params, i + 1);
      tails[i] = WordsFrom(params, i + 1);
      computed[i] = true;
    }
    return words[i];
  };

  // A run is processed as segments: text of the body (open to replacement)
  // and inserted parameter text (never scanned again).
  struct Segment {
    std::string text;
    bool inserted;
  };
  auto process_run = [&](const std::string& run, std::string& out) {
    if (run.find('%') == std::string::npos) {
      out += run;
      return;
    }
    std::vector<Segment> segs{{run, false}};
    auto has_percent = [&] {
      for (const auto& s : segs)
        if (!s.inserted && s.text.find('%') != std::string::npos) return true;
      return false;
    };
    auto replace = [&](const std::string& pattern, const std::string& value) {
      std::vector<Segment> next;
      for (auto& s : segs) {
        if (s.inserted || s.text.find(pattern) == std::string::npos) {
          next.push_back(std::move(s));
          continue;
        }
        std::size_t pos = 0;
        for (;;) {
          const auto hit = s.text.find(pattern, pos);
          if (hit == std::string::npos) break;
          if (hit > pos) next.push_back({s.text.substr(pos, hit - pos), false});
          next.push_back({value, true});
          pos = hit + pattern.size();
        }
        if (pos < s.text.size()) next.push_back({s.text.substr(pos), false});
      }
      segs = std::move(next);
    };
    for (int i = 0; i <= 9 && has_percent(); ++i) {
      const char digit = static_cast<char>('0' + i);
      std::string star = {'%', digit, '*'};
      std::string plain = {'%', digit};
      bool any = false;
      for (const auto& s : segs)
        if (!s.inserted && s.text.find(plain) != std::string::npos) any = true;
      if (!any) continue;
      word(i);
      replace(star, tails[i]);
      replace(plain, words[i]);
    }
    for (const auto& s : segs) out += s.text;
  };

  std::string out;
  out.reserve(body.size() + params.size());
  std::string run;
  bool quoted = false;
  int depth = 0;
  for (char c : body) {
    const bool region_before = quoted || depth != 0;
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == '{') {
      ++depth;
    } else if (!quoted && c == '}') {
      --depth;
    }
    const bool region_now = quoted || depth != 0;
    if (!region_before && region_now) {
      process_run(run, out);
      run.clear();
      out += c;
    } else if (region_before) {
      out += c;
    } else {
      run += c;
    }
  }
  process_run(run, out);
  return out;
}

}  // namespace tarnel
