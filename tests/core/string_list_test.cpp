#include "script/string_list.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>

#include "script/script_store.h"
#include "script/text_file.h"
#include "text/case_fold.h"
#include "text/cp1251.h"

namespace tarnel {
namespace {

using namespace literals;
namespace fs = std::filesystem;

TEST(StringList, LookupsIgnoreCaseAndTheFirstLineWins) {
  TStringList l;
  l.Add("default.Hp=10");
  l.Add("default.hp=20");
  l.Add(std::string("default.Имя=Вася"_cp));
  EXPECT_EQ(l.IndexOfName("DEFAULT.HP"), 0);
  EXPECT_EQ(l.GetValue("default.hp"), "10");
  EXPECT_EQ(l.GetValue(std::string("default.ИМЯ"_cp)), std::string("Вася"_cp));
  EXPECT_EQ(l.IndexOfShortName("HP"), 0);
  // Deleting the first rebuilds the indexes: the second is found now.
  l.DeleteAt(0);
  EXPECT_EQ(l.GetValue("default.hp"), "20");
  EXPECT_EQ(l.IndexOfShortName("hp"), 0);
  EXPECT_EQ(l.IndexOfName(std::string("default.имя"_cp)), 1);
}

// Names of every length up to forty, with any of their letters in the other
// case (Latin, Cyrillic, "ё" and the Ukrainian letters), are found; a name
// that differs in one byte anywhere is not.  Names are hashed and compared
// several bytes at a time, so each length and position counts.
TEST(StringList, EverySpellingOfANameIsFoundAndNoOtherName) {
  std::mt19937 rng(21);
  // "абвэюяёіїў" and "АБВЭЮЯЁІЇЎ" in Windows-1251.
  const std::string lower = "abcxyz\xE0\xE1\xE2\xFD\xFE\xFF\xB8\xB3\xBF\xA2";
  const std::string upper = "ABCXYZ\xC0\xC1\xC2\xDD\xDE\xDF\xA8\xB2\xAF\xA1";
  ASSERT_EQ(lower.size(), upper.size());
  for (std::size_t len = 1; len <= 40; ++len) {
    TStringList l;
    std::string name;
    for (std::size_t i = 0; i < len; ++i) name += lower[rng() % lower.size()];
    l.Add(name + "=1");
    for (int k = 0; k < 20; ++k) {
      std::string other = name;
      for (char& c : other)
        if (rng() % 2 == 0) c = upper[lower.find(c)];
      ASSERT_EQ(l.IndexOfName(other), 0) << len;
      ASSERT_TRUE(text::SameText(other, name));
      other[rng() % len] = '_';
      ASSERT_EQ(l.IndexOfName(other), -1) << len;
      ASSERT_FALSE(text::SameText(other, name));
    }
  }
}

TEST(StringList, SetValueReplacesAppendsAndDeletes) {
  TStringList l;
  l.SetValue("a.x", "1");
  l.SetValue("a.y", "2");
  l.SetValue("A.X", "3");
  ASSERT_EQ(l.Count(), 2);
  EXPECT_EQ(l[0], "A.X=3");
  l.SetValue("a.x", "");
  ASSERT_EQ(l.Count(), 1);
  EXPECT_EQ(l[0], "a.y=2");
  EXPECT_EQ(l.IndexOfName("a.x"), -1);
  EXPECT_EQ(l.GetValue("missing"), "");
}

TEST(StringList, ValuesAreEverythingAfterTheFirstEquals) {
  TStringList l;
  l.Add("t.a=b=c");
  l.Add("no equals sign");
  EXPECT_EQ(l.GetValue("t.a"), "b=c");
  EXPECT_EQ(l.IndexOfName("no equals sign"), -1);
  EXPECT_EQ(TStringList::GroupOf("x.y.z"), "x");
  EXPECT_EQ(TStringList::ShortOf("x.y.z"), "y.z");
  EXPECT_EQ(TStringList::ShortOf("plain"), "plain");
}

TEST(StringList, PutKeepsTheIndexesRightWhenANameChanges) {
  TStringList l;
  l.Add("g.a=1");
  l.Add("g.b=2");
  l.Put(0, "g.c=1");
  EXPECT_EQ(l.IndexOfName("g.a"), -1);
  EXPECT_EQ(l.IndexOfName("g.c"), 0);
  EXPECT_EQ(l.IndexOfShortName("c"), 0);
  l.Insert(0, "g.z=0");
  EXPECT_EQ(l.IndexOfName("g.c"), 1);
  EXPECT_EQ(l.IndexOfShortName("b"), 2);
}

// The lookups as a scan of the lines would give them.
int FirstWithName(const TStringList& l, std::string_view name) {
  for (int i = 0; i < l.Count(); ++i) {
    const auto eq = l[i].find('=');
    if (eq != std::string::npos && text::SameText(std::string_view(l[i]).substr(0, eq), name))
      return i;
  }
  return -1;
}

int FirstWithShortName(const TStringList& l, std::string_view short_name) {
  for (int i = 0; i < l.Count(); ++i) {
    const auto eq = l[i].find('=');
    if (eq == std::string::npos || eq == 0) continue;
    const std::string_view name = std::string_view(l[i]).substr(0, eq);
    const auto dot = name.find('.');
    const std::string_view s = dot == std::string_view::npos ? name : name.substr(dot + 1);
    if (!s.empty() && text::SameText(s, short_name)) return i;
  }
  return -1;
}

TEST(StringList, TheIndexesAnswerAsAScanWouldAfterEveryOperation) {
  std::vector<std::string> names = {"a.x", "A.X", "b.x", "B.y",   "x",     "X",
                                    "",    "a.",  ".x",  "a.x.y", "A.x.Y", "missing.q"};
  for (std::string_view cyrillic : {"Имя.ф"_cp, "имя.Ф"_cp, "ё.Ё"_cp}) names.emplace_back(cyrillic);
  std::mt19937 rng(1251);
  auto pick = [&](std::size_t n) { return static_cast<int>(rng() % n); };
  auto line = [&] {
    if (pick(10) == 0) return std::string("no equals sign");
    return names[static_cast<std::size_t>(pick(names.size()))] + "=" + std::to_string(pick(5));
  };
  TStringList l;
  for (int step = 0; step < 4000; ++step) {
    const int n = l.Count();
    switch (pick(n == 0 ? 2 : 9)) {
      case 0:
      case 1: l.Add(line()); break;
      case 2: l.Insert(pick(static_cast<std::size_t>(n) + 1), line()); break;
      case 3: l.Put(pick(static_cast<std::size_t>(n)), line()); break;
      case 4: {
        const int i = pick(static_cast<std::size_t>(n));
        if (l[i].find('=') != std::string::npos) l.SetValueAt(i, "v");
        break;
      }
      case 5: {
        const std::string& name = names[static_cast<std::size_t>(pick(names.size()))];
        l.SetValue(name, pick(3) == 0 ? "" : "set");
        break;
      }
      case 6: l.DeleteAt(pick(static_cast<std::size_t>(n))); break;
      case 7: {
        const char first = "aAbx"[pick(4)];
        l.RemoveIf([&](const std::string& s) { return !s.empty() && s[0] == first; });
        break;
      }
      case 8:
        if (pick(20) == 0) l.Clear();
        break;
    }
    for (const std::string& name : names) {
      ASSERT_EQ(l.IndexOfName(name), FirstWithName(l, name)) << "step " << step << " name " << name;
      ASSERT_EQ(l.GetValue(name),
                FirstWithName(l, name) < 0 ? "" : std::string(l.ValueAt(FirstWithName(l, name))));
      const std::string_view short_name = TStringList::ShortOf(name);
      ASSERT_EQ(l.IndexOfShortName(short_name),
                short_name.empty() ? -1 : FirstWithShortName(l, short_name))
          << "step " << step << " short name " << short_name;
    }
  }
}

TEST(ScriptStore, FindEnabledTakesTheFirstEntryAndItsGroupDecides) {
  ScriptStore s;
  s.Groups().Add("group.one=on");
  s.Groups().Add("group.two=on");
  s.Macros().Add("one.k=first");
  s.Macros().Add("two.k=second");
  EXPECT_EQ(s.FindEnabled(EntryKind::Macros, "K"), "first");
  s.Groups().Put(0, "group.one=off");
  EXPECT_EQ(s.FindEnabled(EntryKind::Macros, "k"), "");
  EXPECT_EQ(s.FindEnabled(EntryKind::Macros, "nothing"), "");
}

TEST(ScriptStore, PruneGroupsDropsGroupsWithoutEntries) {
  ScriptStore s;
  for (const char* g : {"group.a=on", "group.b=off", "group.c=on", "group.d=on"}) s.Groups().Add(g);
  s.Variables().Add("a.x=1");
  s.Hotkeys().Add("c.F1=look");
  s.Triggers().Add("dd.x=1");  // "dd." is not "d."
  s.PruneGroups();
  ASSERT_EQ(s.Groups().Count(), 2);
  EXPECT_EQ(s.Groups()[0], "group.a=on");
  EXPECT_EQ(s.Groups()[1], "group.c=on");
}

// Group lines whose group has no entry, found by looking at every group in
// turn through every entry.
std::vector<std::string> PrunedByScanning(ScriptStore& s) {
  std::vector<std::string> kept;
  for (const std::string& g : s.Groups().Lines()) {
    const std::string_view name = TStringList::NameOf(g);
    const auto dot = name.find('.');
    const std::string prefix =
        std::string(dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1)) +
        ".";
    bool used = false;
    for (EntryKind k : {EntryKind::Macros, EntryKind::Hotkeys, EntryKind::Functions,
                        EntryKind::Triggers, EntryKind::Variables, EntryKind::Arguments})
      for (const std::string& line : s.List(k).Lines()) used = used || line.rfind(prefix, 0) == 0;
    if (used) kept.push_back(g);
  }
  return kept;
}

TEST(ScriptStore, PruneGroupsKeepsExactlyTheGroupsWithEntriesWhateverChanged) {
  const std::vector<std::string> groups = {"group.a=on",  "group.A=off", "group.a.b=on",
                                           "group.ab=on", "group.=on",   "nodots=on",
                                           "group.b"};
  const std::vector<std::string> names = {"a.x", "A.x", "a.b.y", "ab.z",
                                          "b.q", ".x",  "abc",   "a=b.c"};
  std::mt19937 rng(7);
  auto pick = [&](std::size_t n) { return static_cast<int>(rng() % n); };
  ScriptStore s;
  for (int step = 0; step < 3000; ++step) {
    TStringList& list = s.List(static_cast<EntryKind>(pick(6)));
    const int n = list.Count();
    const std::string line = names[static_cast<std::size_t>(pick(names.size()))] + "=1";
    switch (pick(n == 0 ? 3 : 8)) {
      case 0: list.Add(line); break;
      case 1:
      case 2: s.Groups().Add(groups[static_cast<std::size_t>(pick(groups.size()))]); break;
      case 3: list.Put(pick(static_cast<std::size_t>(n)), line); break;
      case 4: {
        // The same name in other letters.
        const int i = pick(static_cast<std::size_t>(n));
        std::string other(list[i]);
        for (char& c : other)
          if (std::isalpha(static_cast<unsigned char>(c))) c = static_cast<char>(c ^ 32);
        list.Put(i, other);
        break;
      }
      case 5: list.SetValueAt(pick(static_cast<std::size_t>(n)), "2"); break;
      case 6: list.DeleteAt(pick(static_cast<std::size_t>(n))); break;
      case 7: list.RemoveIf([](const std::string& l) { return l[0] == 'a'; }); break;
    }
    if (pick(3) != 0) continue;
    const std::vector<std::string> want = PrunedByScanning(s);
    s.PruneGroups();
    ASSERT_EQ(s.Groups().Lines(), want) << "step " << step;
  }
}

class TextFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarnel-files-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }
  fs::path dir_;
};

TEST_F(TextFileTest, LinesRoundTripWithCrLf) {
  TStringList l;
  l.Add("one=1");
  l.Add("");
  l.Add(std::string("три=3"_cp));
  const std::string path = (dir_ / "list.txt").string();
  ASSERT_TRUE(l.SaveToFile(path));
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(bytes, "one=1\r\n\r\n" + std::string("три=3"_cp) + "\r\n");
  TStringList back;
  ASSERT_TRUE(back.LoadFromFile(path));
  EXPECT_EQ(back.Lines(), l.Lines());
}

TEST_F(TextFileTest, AnyLineEndSplitsLines) {
  EXPECT_EQ(SplitTextLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitTextLines("a\n\n"), (std::vector<std::string>{"a", ""}));
}

TEST_F(TextFileTest, AFailedWriteLeavesTheOldFileWhole) {
  const std::string path = (dir_ / "keep.txt").string();
  ASSERT_TRUE(WriteFileSafely(path, "old contents\r\n"));
  if (::geteuid() != 0) {
    fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_FALSE(WriteFileSafely(path, "new"));
    fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::add);
  }
  // A target that cannot be replaced: a folder stands where the file goes.
  fs::create_directories(dir_ / "adir");
  EXPECT_FALSE(WriteFileSafely((dir_ / "adir").string(), "x"));
  EXPECT_TRUE(fs::is_directory(dir_ / "adir"));
  std::string content;
  ASSERT_TRUE(ReadWholeFile(path, content));
  EXPECT_EQ(content, "old contents\r\n");
  // No temporary files are left behind.
  int files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++files;
  EXPECT_EQ(files, 2);
  EXPECT_FALSE(WriteFileSafely((dir_ / "no/such/folder/x.txt").string(), "x"));
}

// Temporary files of a save that never reached its rename.

void Age(const fs::path& p) {
  fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::minutes(5));
}

std::vector<std::string> FileNames(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(TextFileTest, TheNamesOfTemporaryFiles) {
  EXPECT_TRUE(IsTemporaryFileOf("p.tmc.tmp-AbC019", "p.tmc"));
  for (const char* other :
       {"p.tmc.tmp-AbC01", "p.tmc.tmp-AbC0199", "p.tmc.tmp-AbC_19", "q.tmc.tmp-AbC019",
        "xp.tmc.tmp-AbC019", "p.tmc.tmp.AbC019", "p.tmc", "p.tmc.tmp-"})
    EXPECT_FALSE(IsTemporaryFileOf(other, "p.tmc")) << other;
}

TEST_F(TextFileTest, ASaveTakesAwayTheLeftoversOfSavesThatNeverFinished) {
  const fs::path target = dir_ / "p.tmc";
  std::ofstream(target) << "old\r\n";
  auto make = [&](const std::string& name, bool aged) {
    std::ofstream(dir_ / name) << "partial";
    if (aged) Age(dir_ / name);
  };
  make("p.tmc.tmp-AbC019", true);   // left by a killed save
  make("p.tmc.tmp-Zz9yX8", true);   // and another
  make("p.tmc.tmp-Young1", false);  // may be a save that has just begun
  make("p.tmc.tmp-Lockd1", true);   // a save of this process still writing
  make("p.tmc.tmp-AbC01", true);    // not our naming
  make("p.tmc.tmp-AbC_19", true);
  make("q.tmc.tmp-AbC019", true);  // another file's
  make("q.tmc", true);
  fs::create_directories(dir_ / "p.tmc.tmp-Folder");
  fs::create_directories(dir_ / "sub");
  make("sub/p.tmc.tmp-AbC019", true);  // not beside the file saved
  fs::create_symlink(dir_ / "q.tmc", dir_ / "p.tmc.tmp-Link01");
  const int lock_fd = ::open((dir_ / "p.tmc.tmp-Lockd1").c_str(), O_RDONLY);
  ASSERT_GE(lock_fd, 0);
  ASSERT_EQ(::flock(lock_fd, LOCK_EX), 0);

  ASSERT_TRUE(WriteFileSafely(target.string(), "new\r\n"));
  ::close(lock_fd);
  EXPECT_EQ(FileNames(dir_),
            (std::vector<std::string>{"p.tmc", "p.tmc.tmp-AbC01", "p.tmc.tmp-AbC_19",
                                      "p.tmc.tmp-Folder", "p.tmc.tmp-Link01", "p.tmc.tmp-Lockd1",
                                      "p.tmc.tmp-Young1", "q.tmc", "q.tmc.tmp-AbC019", "sub"}));
  EXPECT_TRUE(fs::exists(dir_ / "sub/p.tmc.tmp-AbC019"));
  std::string content;
  ASSERT_TRUE(ReadWholeFile(target.string(), content));
  EXPECT_EQ(content, "new\r\n");
  // Unlocked now, the file goes at the next save.
  ASSERT_TRUE(WriteFileSafely(target.string(), "newer\r\n"));
  EXPECT_FALSE(fs::exists(dir_ / "p.tmc.tmp-Lockd1"));
}

TEST_F(TextFileTest, TheFileOfAKilledSaveGoesAtTheNextOneButNotWhileItsWriterLives) {
  const fs::path target = dir_ / "big.tmc";
  ASSERT_TRUE(WriteFileSafely(target.string(), "old\r\n"));
  auto leftovers = [&] {
    std::vector<std::string> found;
    for (const auto& name : FileNames(dir_))
      if (name.rfind("big.tmc.tmp-", 0) == 0) found.push_back(name);
    return found;
  };
  // A save killed half-way: here by the file size limit, which ends the
  // process as any signal would, between writing and renaming.
  const std::string big(1 << 20, 'x');
  const pid_t writer = ::fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    rlimit tiny{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &tiny);
    ::signal(SIGXFSZ, SIG_DFL);
    WriteFileSafely(target.string(), big);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(writer, &status, 0), writer);
  ASSERT_TRUE(WIFSIGNALED(status));
  const auto left = leftovers();
  ASSERT_EQ(left.size(), 1u);
  Age(dir_ / left[0]);

  // Another process holds it as a running save would: it stays.
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const std::string held = (dir_ / left[0]).string();
  const pid_t holder = ::fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    const int fd = ::open(held.c_str(), O_RDONLY);
    ::flock(fd, LOCK_EX);
    const char c = 1;
    if (::write(ready[1], &c, 1) != 1) ::_exit(1);
    for (;;) ::pause();
  }
  char c = 0;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  ASSERT_TRUE(WriteFileSafely(target.string(), "second\r\n"));
  EXPECT_EQ(leftovers(), left);
  ::kill(holder, SIGKILL);
  ::waitpid(holder, &status, 0);
  ::close(ready[0]);
  ::close(ready[1]);

  ASSERT_TRUE(WriteFileSafely(target.string(), "third\r\n"));
  EXPECT_TRUE(leftovers().empty());
  std::string content;
  ASSERT_TRUE(ReadWholeFile(target.string(), content));
  EXPECT_EQ(content, "third\r\n");
}

}  // namespace
}  // namespace tarnel
