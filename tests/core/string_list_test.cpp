#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "script/script_store.h"
#include "script/string_list.h"
#include "script/text_file.h"
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

}  // namespace
}  // namespace tarnel
