// Whatever the store holds comes back from a saved profile byte for byte,
// and includes can neither run round in circles nor pile up.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "script/text_file.h"
#include "test_host.h"
#include "text/cp1251.h"
#include "text/paths.h"

namespace tarnel::test {
namespace {

using namespace literals;
namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::string s;
  ReadWholeFile(p.string(), s);
  return s;
}

class ProfileRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarnel-roundtrip-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    old_ = fs::current_path();
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(old_);
    fs::remove_all(dir_);
  }
  std::unique_ptr<Client> Fresh(TestHost& host) {
    auto c = std::make_unique<Client>(host);
    c->ExecuteCommand("/newprofile {}", false);
    c->ExecuteCommand("/set global._logfile=", false);
    host.main.clear();
    return c;
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  static std::vector<std::string> Includes(Client& c) {
    std::vector<std::string> found;
    for (const std::string& line : c.store.Variables().Lines())
      if (line.rfind("global._include=", 0) == 0) found.push_back(line.substr(16));
    return found;
  }
  fs::path dir_, old_;
};

TEST_F(ProfileRoundTrip, AnUnclosedBraceInAValueKeepsTheEntriesAfterIt) {
  TestHost h;
  auto a = Fresh(h);
  a->ExecuteCommand("/set global.a=x{y", false);
  a->ExecuteCommand("/set global.b=1", false);
  a->ExecuteCommand("/set global.c=2", false);
  a->ExecuteCommand("/save p.tmc", false);
  // Written so that even a loader that knows nothing of the exact form
  // reads it back.
  EXPECT_NE(ReadFile(dir_ / "p.tmc").find("set var global.a=\"x{y\"\r\n"), std::string::npos);
  a->ExecuteCommand("/load p.tmc", false);
  EXPECT_EQ(a->store.Var("global.a"), "x{y");
  EXPECT_EQ(a->store.Var("global.b"), "1");
  EXPECT_EQ(a->store.Var("global.c"), "2");
  // A profile written before keeps them too.
  std::ofstream(dir_ / "old.tmc")
      << "set var global.a={x{y}\r\nset var global.b={1}\r\nset var global.c={2}\r\n";
  a->ExecuteCommand("/load old.tmc", false);
  EXPECT_EQ(a->store.Var("global.a"), "x{y");
  EXPECT_EQ(a->store.Var("global.b"), "1");
  EXPECT_EQ(a->store.Var("global.c"), "2");
}

// Macros are saved first, so one named after a profile's own words would
// otherwise take every line after it.
TEST_F(ProfileRoundTrip, AMacroNamedAfterAProfileWordKeepsTheEntriesAfterIt) {
  TestHost h;
  auto a = Fresh(h);
  a->ExecuteCommand("/set global.b=1", false);
  a->ExecuteCommand("/set hotkey F5={/echo F5}", false);
  a->ExecuteCommand("/set macro {/include}={/echo hijacked %0}", false);
  a->ExecuteCommand("/set macro {/set}={/echo hijacked %0}", false);
  a->store.Variables().Add("global._include=" + Path("other.tmc"));
  std::ofstream(dir_ / "other.tmc") << "set var global.other={ran}\r\n";
  a->ExecuteCommand("/save p.tmc", false);
  TestHost h2;
  auto b = Fresh(h2);
  b->ExecuteCommand("/load p.tmc", false);
  EXPECT_EQ(b->store.Var("global.b"), "1");
  EXPECT_EQ(b->store.Var("global.other"), "ran");
  EXPECT_GE(b->store.Hotkeys().IndexOfName("default.F5"), 0);
  EXPECT_EQ(h2.main.find("hijacked"), std::string::npos);
  // Typed, the macros still stand for the commands.
  b->ExecuteCommand("/set global.c=2", false);
  EXPECT_NE(h2.main.find("hijacked"), std::string::npos);
  EXPECT_EQ(b->store.Var("global.c"), "");
}

// Texts that every stage between a saved line and the store reacts to.
std::vector<std::string> AwkwardTexts() {
  std::vector<std::string> pieces = {
      "{",           "}",          "{",     "}",   "\"", "'",    ";",    "%",
      "%x",          "%default.x", "%f(1)", "(",   ")",  "=",    "\r",   "\n",
      "\r\n",        " ",          "  ",    "\t",  "\\", "/",    "//",   "#",
      "else ",       "{}",         "}{",    "$ff", "|",  "\x01", "\x7f", "exact set var {a}={b}",
      "include {x}", "x",          "1"};
  pieces.emplace_back(1, '\0');
  pieces.emplace_back("Предмет"_cp);
  std::vector<std::string> texts = {"x{y", "a}b",   "}; \";", "'{' }; x", "(1+2)", "trailing  ",
                                    "\r",  "%x",    "{%x}",   "\"",       "'",     "=",
                                    "a=b", " lead", "{",      "}"};
  for (int b = 0x80; b <= 0xFF; ++b) texts.push_back(std::string("h") + static_cast<char>(b) + "{");
  std::mt19937 rng(1251);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  for (int i = 0; i < 400; ++i) {
    std::string t;
    if (pick(8) == 0) t += "(";
    for (std::size_t n = 1 + pick(6); n > 0; --n) t += pieces[pick(pieces.size())];
    if (pick(6) == 0) t += "   ";
    texts.push_back(t);
  }
  return texts;
}

TEST_F(ProfileRoundTrip, EveryValueOfEveryKindComesBackByteForByte) {
  TestHost h1;
  auto a = Fresh(h1);
  a->ExecuteCommand("/set var keep._autosave=on", false);
  const std::vector<std::string> texts = AwkwardTexts();
  int n = 0;
  for (const std::string& t : texts) {
    const std::string id = std::to_string(n++);
    // A plain entry after each awkward one, so that one that took the
    // lines after it along shows.
    for (const std::string& v : {t, std::string("plain")}) {
      const std::string k = id + (v == "plain" ? "P" : "");
      a->store.Macros().Add("m.k" + k + "=" + v);
      a->store.Hotkeys().Add("h.F" + k + "=" + v);
      a->store.Triggers().Add("t.^pattern " + k + "$=" + v);
      a->store.Functions().Add("f.fn" + k + "(a,b)=" + v);
      a->store.Arguments().Add("autoarg.orc" + k + "=" + v);
      a->store.Variables().Add("keep.v" + k + "=" + v);
      a->store.Variables().Add("global.v" + k + "=" + v);
    }
    // The same texts in names (without "=", which ends a name).
    std::string name = t;
    for (char& c : name)
      if (c == '=') c = '-';
    a->store.Triggers().Add("t." + id + name + "=" + id);
    a->store.Macros().Add("mn" + id + "." + name + "=" + id);
    a->store.Arguments().Add("an" + id + "." + name + "=" + id);
    a->store.Variables().Add("keep.n" + id + "." + name + "=" + id);
  }
  a->ExecuteCommand("/save p.tmc", false);
  TestHost h2;
  auto b = Fresh(h2);
  b->ExecuteCommand("/load p.tmc", false);
  for (EntryKind kind : {EntryKind::Macros, EntryKind::Hotkeys, EntryKind::Triggers,
                         EntryKind::Functions, EntryKind::Arguments, EntryKind::Variables}) {
    const auto& want = a->store.List(kind).Lines();
    const auto& got = b->store.List(kind).Lines();
    ASSERT_EQ(got.size(), want.size()) << static_cast<int>(kind);
    for (std::size_t i = 0; i < want.size(); ++i)
      ASSERT_EQ(got[i], want[i]) << static_cast<int>(kind) << " line " << i;
  }
  // Nothing the values hold ran as a command.
  EXPECT_EQ(h2.main.find("Неизвестная команда"_cp), std::string::npos) << Render(h2.main);
  EXPECT_EQ(h2.main.find("Ошибка в"_cp), std::string::npos) << Render(h2.main);
  EXPECT_TRUE(h2.sent.empty());
  // The quoted and the exact form both had their turn.
  const std::string text = ReadFile(dir_ / "p.tmc");
  EXPECT_NE(text.find("\r\nexact set var {"), std::string::npos);
  EXPECT_NE(text.find("\r\nexact set trig {"), std::string::npos);
  EXPECT_NE(text.find("={a}b}\r\n"), std::string::npos);
  EXPECT_NE(text.find("=\"x{y\"\r\n"), std::string::npos);
  // Saved again, the file is the same.
  b->ExecuteCommand("/save p.tmc", false);
  const std::string once = ReadFile(dir_ / "p.tmc");
  b->ExecuteCommand("/load p.tmc", false);
  b->ExecuteCommand("/save p.tmc", false);
  EXPECT_EQ(ReadFile(dir_ / "p.tmc"), once);
}

TEST_F(ProfileRoundTrip, OrdinaryEntriesAreWrittenAsAlways) {
  TestHost h;
  auto a = Fresh(h);
  a->store.Variables().Add("global.line=a\r\nb");
  a->ExecuteCommand("/set macro k={kill %1;say {hi}}", false);
  a->ExecuteCommand("/set var global.q={say \"hi\" it's}", false);
  a->ExecuteCommand("/save p.tmc", false);
  const std::string text = ReadFile(dir_ / "p.tmc");
  EXPECT_NE(text.find("set macro default.k={kill %1;say {hi}}\r\n"), std::string::npos);
  EXPECT_NE(text.find("set var global.q={say \"hi\" it's}\r\n"), std::string::npos);
  // Captures in a pattern are no variables: the default trigger stays plain.
  EXPECT_NE(text.find(std::string(
                "set trig \"stats.Предмет \"%0\", тип : %1\"={/parsestats > %0,тип:%1}\r\n"_cp)),
            std::string::npos)
      << Render(text);
  // What no quoting carries goes in the exact form.
  EXPECT_NE(text.find("exact set var {global.line}={a\\0D\\0Ab}\r\n"), std::string::npos);
  a->ExecuteCommand("/load p.tmc", false);
  EXPECT_EQ(a->store.Var("global.line"), "a\r\nb");
}

TEST_F(ProfileRoundTrip, IncludePathsComeBackAndTheirFilesRun) {
  TestHost h1;
  auto a = Fresh(h1);
  std::vector<std::string> names = {"a}b.tmc",      "x{y.tmc",     "semi;colon.tmc",
                                    "per%cent.tmc", "quo\"te.tmc", "cr\rname.tmc"};
  names.emplace_back("имя{.tmc"_cp);
  int n = 0;
  for (const std::string& name : names) {
    std::ofstream(fs::path(text::NativePath(Path(name))))
        << "set var global.ran" << n++ << "={yes}\r\n";
    a->store.Variables().Add("global._include=" + text::ExpandFileName(name));
  }
  a->ExecuteCommand("/save p.tmc", false);
  TestHost h2;
  auto b = Fresh(h2);
  b->ExecuteCommand("/load p.tmc", false);
  EXPECT_EQ(Includes(*b), Includes(*a));
  for (int i = 0; i < n; ++i) EXPECT_EQ(b->store.Var("global.ran" + std::to_string(i)), "yes") << i;
}

TEST_F(ProfileRoundTrip, AFileThatIncludesItselfLoadsOnce) {
  const std::string self = Path("self.tmc");
  std::ofstream(self) << "include {" << self << "}\r\nset macro m={x}\r\n";
  TestHost h;
  auto c = Fresh(h);
  c->ExecuteCommand("/load self.tmc", false);
  EXPECT_NE(h.main.find(std::string("Файл "_cp) + self + std::string(" уже загружается."_cp)),
            std::string::npos)
      << Render(h.main);
  EXPECT_EQ(c->store.Macros().GetValue("default.m"), "x");
  EXPECT_TRUE(Includes(*c).empty());
  // The autosave at exit writes no include, and the next start finishes.
  c->ExecuteCommand("/save", false);
  EXPECT_EQ(ReadFile(self).find("include"), std::string::npos);

  // Included from a profile, it is recorded once and runs once.
  std::ofstream(dir_ / "self.tmc") << "include {" << self << "}\r\n/inc global.runs\r\n";
  std::ofstream(dir_ / "main.tmc") << "set var global.runs={0}\r\ninclude {" << self << "}\r\n";
  c->ExecuteCommand("/load main.tmc", false);
  EXPECT_EQ(Includes(*c), (std::vector<std::string>{self}));
  EXPECT_EQ(c->store.Var("global.runs"), "1");
}

// The system ends a name at a NUL byte.  "self.tmc\0" named self.tmc to the
// system but another file to the include check: a profile that saved over
// itself and then included that name recorded it, and its reload did not.
TEST_F(ProfileRoundTrip, ANameWithANulByteNamesNoFile) {
  const std::string self = Path("self.tmc");
  {
    std::ofstream out(self, std::ios::binary);
    out << "/save self.tmc\r\ninclude self.tmc" << std::string(2, '\0') << "\r\n";
  }
  TestHost h;
  auto c = Fresh(h);
  c->ExecuteCommand("/load self.tmc", false);
  const std::vector<std::string> first = Includes(*c);
  ASSERT_EQ(first, (std::vector<std::string>{self + std::string(2, '\0')}));
  EXPECT_NE(h.main.find(std::string("Ошибка чтения файла "_cp) + first[0]), std::string::npos)
      << Render(h.main);
  c->ExecuteCommand("/save self.tmc", false);
  c->ExecuteCommand("/load self.tmc", false);
  EXPECT_EQ(Includes(*c), first);
  // Nothing is written under such a name either.
  c->ExecuteCommand(std::string("/save x.tmc") + '\0', false);
  EXPECT_FALSE(fs::exists(dir_ / "x.tmc"));
}

TEST_F(ProfileRoundTrip, IncludesInACircleStopWhereTheyBegan) {
  const std::string a = Path("a.tmc"), b = Path("b.tmc");
  std::ofstream(a) << "/inc global.a\r\ninclude {" << b << "}\r\n";
  std::ofstream(b) << "/inc global.b\r\ninclude {" << a << "}\r\n";
  TestHost h;
  auto c = Fresh(h);
  c->ExecuteCommand("/set global.a=0;/set global.b=0", false);
  c->ExecuteCommand("/include a.tmc", false);
  EXPECT_EQ(Includes(*c), (std::vector<std::string>{a, b}));
  EXPECT_EQ(c->store.Var("global.a"), "1");
  EXPECT_EQ(c->store.Var("global.b"), "1");
  EXPECT_NE(h.main.find(std::string("Файл "_cp) + a + std::string(" уже загружается."_cp)),
            std::string::npos);
  // Through a link the same file is still the same file.
  fs::create_symlink(a, dir_ / "link.tmc");
  std::ofstream(a) << "/inc global.a\r\ninclude {" << Path("link.tmc") << "}\r\n";
  c->ExecuteCommand("/include a.tmc", false);
  EXPECT_EQ(c->store.Var("global.a"), "2");
  EXPECT_EQ(Includes(*c), (std::vector<std::string>{a, b}));
}

TEST_F(ProfileRoundTrip, AProfileWithPiledUpIncludesLoadsAndSavesOne) {
  // What the autosave wrote when a file could include itself.
  const std::string self = Path("self.tmc");
  std::ofstream(self) << "include {" << self << "}\r\n/inc global.runs\r\n";
  std::string profile = "set var global.runs={0}\r\n";
  for (int i = 0; i < 127; ++i) profile += "include {" + self + "}\r\n";
  std::ofstream(dir_ / "piled.tmc") << profile;
  TestHost h;
  auto c = Fresh(h);
  c->ExecuteCommand("/load piled.tmc", false);
  EXPECT_EQ(c->store.Var("global.runs"), "127");
  c->ExecuteCommand("/save", false);
  const std::string saved = ReadFile(dir_ / "piled.tmc");
  const auto first = saved.find("include {");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(saved.find("include {", first + 1), std::string::npos);
}

}  // namespace
}  // namespace tarnel::test
