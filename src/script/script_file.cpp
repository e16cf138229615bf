#include "script/script_file.h"

namespace tarnel {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string TrimLeft(const std::string& s) {
  std::size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return s.substr(b);
}

bool StartsWith(const std::string& s, const char* p) { return s.rfind(p, 0) == 0; }

// Brace depth of a line.  Quotes count only outside braces, and a quote is
// closed only by its own kind, so an apostrophe inside a braced value or a
// quoted name ("can't") never hides a closing brace: every line a saved
// profile holds stays one statement.
int Depth(const std::string& s) {
  int depth = 0;
  char quote = 0;
  for (char c : s) {
    if (depth <= 0 && quote == 0 && (c == '"' || c == '\'')) {
      quote = c;
    } else if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '{') {
      ++depth;
    } else if (c == '}') {
      --depth;
    }
  }
  return depth;
}

}  // namespace

std::vector<std::string> PrepareScriptLines(std::vector<std::string> lines) {
  std::size_t i = 0;
  while (i < lines.size()) {
    std::string& line = lines[i];
    line = Trim(line);
    if (line.empty()) {
      lines.erase(lines.begin() + static_cast<long>(i));
      continue;
    }
    if (line[0] == '"' || line[0] == '\'') {
      line = "/do " + line;
      ++i;
    } else if (StartsWith(line, "//")) {
      lines.erase(lines.begin() + static_cast<long>(i));
    } else if (line[0] == '/') {
      ++i;
    } else if (line[0] == '{') {
      if (i + 1 >= lines.size()) {
        ++i;  // the last line stays as it is
        continue;
      }
      std::string next = TrimLeft(lines[i + 1]);
      if (!next.empty() && next[0] != '/') next.insert(0, "/");
      line += next;
      lines.erase(lines.begin() + static_cast<long>(i + 1));
    } else if (line[0] == '}') {
      if (i == 0) {
        ++i;  // the first line stays as it is
        continue;
      }
      lines[i - 1] += "}";
      lines[i] = TrimLeft(lines[i].substr(1));
    } else if (StartsWith(line, "else ") || StartsWith(line, "else{")) {
      if (i == 0) {
        ++i;
        continue;
      }
      lines[i - 1] += " else " + TrimLeft(line.substr(4));
      lines.erase(lines.begin() + static_cast<long>(i));
    } else {
      line.insert(0, "/");
      ++i;
    }
  }
  for (std::size_t k = 0; k < lines.size(); ++k) {
    while (Depth(lines[k]) > 0 && k + 1 < lines.size()) {
      if (!lines[k].empty() && lines[k].back() == '{')
        lines[k] += lines[k + 1];
      else
        lines[k] += ";" + lines[k + 1];
      lines.erase(lines.begin() + static_cast<long>(k + 1));
    }
  }
  return lines;
}

}  // namespace tarnel
