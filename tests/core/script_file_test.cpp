// Turning the lines of a script file into statements: the two passes, the
// blocks that never close, and lines in the exact form.

#include "script/script_file.h"

#include <gtest/gtest.h>

#include <random>

#include "script/exact_line.h"

namespace tarnel {
namespace {

// The passes as written out in the plainest way: every change made to the
// list in place and every depth counted again from the start of the line.
// A block that no line closes is not joined.
int ReferenceDepth(const std::string& s) {
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

std::vector<std::string> ReferencePasses(std::vector<std::string> lines) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  auto trim_left = [&](const std::string& s) {
    std::size_t b = 0;
    while (b < s.size() && blank(s[b])) ++b;
    return s.substr(b);
  };
  auto trim = [&](const std::string& s) {
    std::string t = trim_left(s);
    while (!t.empty() && blank(t.back())) t.pop_back();
    return t;
  };
  auto starts = [](const std::string& s, const char* p) { return s.rfind(p, 0) == 0; };
  std::size_t i = 0;
  while (i < lines.size()) {
    std::string& line = lines[i];
    line = trim(line);
    if (line.empty()) {
      lines.erase(lines.begin() + static_cast<long>(i));
    } else if (line[0] == '"' || line[0] == '\'') {
      line = "/do " + line;
      ++i;
    } else if (starts(line, "//")) {
      lines.erase(lines.begin() + static_cast<long>(i));
    } else if (line[0] == '/') {
      ++i;
    } else if (line[0] == '{') {
      if (i + 1 >= lines.size()) {
        ++i;
        continue;
      }
      std::string next = trim_left(lines[i + 1]);
      if (!next.empty() && next[0] != '/') next.insert(0, "/");
      line += next;
      lines.erase(lines.begin() + static_cast<long>(i + 1));
    } else if (line[0] == '}') {
      if (i == 0) {
        ++i;
        continue;
      }
      lines[i - 1] += "}";
      lines[i] = trim_left(lines[i].substr(1));
    } else if (starts(line, "else ") || starts(line, "else{")) {
      if (i == 0) {
        ++i;
        continue;
      }
      lines[i - 1] += " else " + trim_left(line.substr(4));
      lines.erase(lines.begin() + static_cast<long>(i));
    } else {
      line.insert(0, "/");
      ++i;
    }
  }
  for (std::size_t k = 0; k < lines.size(); ++k) {
    std::string joined = lines[k];
    std::size_t m = k;
    while (ReferenceDepth(joined) > 0 && m + 1 < lines.size()) {
      if (joined.back() == '{')
        joined += lines[m + 1];
      else
        joined += ";" + lines[m + 1];
      ++m;
    }
    if (ReferenceDepth(joined) > 0) continue;
    lines[k] = joined;
    lines.erase(lines.begin() + static_cast<long>(k + 1), lines.begin() + static_cast<long>(m + 1));
  }
  return lines;
}

TEST(ScriptFile, ThePassesGiveWhatThePlainestReadingGives) {
  // Pieces that every rule of the passes reacts to.
  const std::vector<std::string> pieces = {
      "{",           "}",   "{",   "}",  "\"",    "'",     " ",         "\t",
      "x",           ";",   "/",   "//", "else ", "else{", "/if (1) {", "} else {",
      "set var a={", "x{y", "a}b", "}}", "{{",    "%x",    "\"{\"",     "'}'"};
  std::mt19937 rng(20261209);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  for (int round = 0; round < 30000; ++round) {
    std::vector<std::string> lines(pick(9));
    for (auto& line : lines)
      for (std::size_t n = pick(6); n > 0; --n) line += pieces[pick(pieces.size())];
    ASSERT_EQ(PrepareScriptLines(lines), ReferencePasses(lines)) << ::testing::PrintToString(lines);
  }
}

TEST(ScriptFile, ABlockThatNeverClosesTakesNoLines) {
  // A value with a "{" of its own, as profiles were written before: the
  // entries after it stay entries.
  EXPECT_EQ(PrepareScriptLines(
                {"set var global.a={x{y}", "set var global.b={1}", "set var global.c={2}"}),
            (std::vector<std::string>{"/set var global.a={x{y}", "/set var global.b={1}",
                                      "/set var global.c={2}"}));
  // Every line whose block stays open stands alone; a block after them that
  // closes is joined as always.
  EXPECT_EQ(PrepareScriptLines({"/a {", "/b {", "/while (1) {", "/c", "}", "/d"}),
            (std::vector<std::string>{"/a {", "/b {", "/while (1) {/c}", "/d"}));
  // A block that closes still takes what lies between, as it always did.
  EXPECT_EQ(PrepareScriptLines({"/a {x{y}", "/b", "/c {a}b}", "/d"}),
            (std::vector<std::string>{"/a {x{y};/b;/c {a}b}", "/d"}));
  // Many blocks left open before many lines (checked for speed by the
  // benchmark): each stays a statement.
  std::vector<std::string> lines;
  for (int i = 0; i < 2000; ++i) lines.push_back(i % 2 ? "/x {" : "/y {{'");
  EXPECT_EQ(PrepareScriptLines(lines), lines);
}

TEST(ScriptFile, ExactLinesCarryEveryByte) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  for (const ExactLine& e : {ExactLine{"var", "g." + all, all}, ExactLine{"trig", "t.{", "}"},
                             ExactLine{"macro", "", ""}, ExactLine{"", "", "/home/a}b\r.tmc"}}) {
    const std::string line = WriteExactLine(e);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    const auto back = ReadExactLine("  " + line + "\t ");
    ASSERT_TRUE(back) << line;
    EXPECT_EQ(back->kind_word, e.kind_word);
    EXPECT_EQ(back->name, e.name);
    EXPECT_EQ(back->value, e.value);
  }
  EXPECT_EQ(WriteExactLine({"var", "global.a", "x{y\r\n\\"}),
            "exact set var {global.a}={x\\7By\\0D\\0A\\5C}");
  EXPECT_EQ(WriteExactLine({"", "", "/p/a}b"}), "exact include {/p/a\\7Db}");
}

TEST(ScriptFile, AnythingElseIsAnOrdinaryLine) {
  for (const char* line :
       {"exact set var {a}={b} x", "exact set var {a}={b", "exact set var {a{}={b}",
        "exact set var {a}{b}", "exact set vars {a}={b}", "exact set group {a}={b}",
        "exact set var {a}={\\7}", "exact set var {a}={\\GG}", "exact include {a}b}",
        "exact include a", "exact  set var {a}={b}", "exactly set var {a}={b}", "set var {a}={b}",
        "//exact set var {a}={b}"})
    EXPECT_FALSE(ReadExactLine(line)) << line;
  const std::vector<ScriptStep> steps = ReadScript({"exact set var {a}={b} x", "set var b={1}"});
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[0].text, "/exact set var {a}={b} x");
  EXPECT_FALSE(steps[0].exact);
}

TEST(ScriptFile, NothingReachesAcrossAnExactLine) {
  const std::vector<ScriptStep> steps =
      ReadScript({"/while (1) {", "exact set var {g.a}={x\\7By}", "/echo", "}", "{",
                  "exact include {f}", "else /echo b", "/if (1) {", "/echo c", "}"});
  std::vector<std::string> texts;
  for (const auto& s : steps)
    texts.push_back(s.exact ? "<" + s.exact->name + "=" + s.exact->value + ">" : s.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"/while (1) {", "<g.a=x{y>", "/echo}", "{", "<=f>",
                                             "else /echo b", "/if (1) {/echo c}"}));
}

}  // namespace
}  // namespace tarnel
