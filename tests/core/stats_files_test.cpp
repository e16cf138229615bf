// The stats database on real files: loading, saving, appending, and the
// file written at shut-down.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "script/text_file.h"
#include "stats/stats_database.h"
#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

using namespace literals;
namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::string s;
  ReadWholeFile(p.string(), s);
  return s;
}

void WriteFile(const fs::path& p, std::string_view bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

std::vector<std::string> Lines(const TStringList& list) { return list.Lines(); }

class StatsFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarnel-stats-" + std::to_string(::getpid()) + "-" +
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
    host.dir = dir_.string();
    auto c = std::make_unique<Client>(host);
    c->ExecuteCommand("/newprofile {}", false);
    c->ExecuteCommand("/set global._logfile=", false);
    host.main.clear();
    return c;
  }
  std::string Full(const char* name) const { return (dir_ / name).string(); }
  fs::path dir_, old_;
};

TEST_F(StatsFilesTest, SavedAndLoadedAgainTheDatabaseIsTheSame) {
  TestHost h1;
  auto a = Fresh(h1);
  a->ExecuteCommand(
      "/addstats щит,Вес:9;/addstats меч,Вес:3,Урон:2d4;/addstats {хлеб; ржаной,Тип:ЕДА}"_cp,
      false);
  a->ExecuteCommand("/savestats my.tms", false);
  EXPECT_EQ(
      ReadFile(dir_ / "my.tms"),
      std::string(
          "щит=щит,Вес:9,\r\nмеч=меч,Вес:3,Урон:2d4,\r\nхлеб; ржаной=хлеб; ржаной,Тип:ЕДА,\r\n"_cp));
  EXPECT_EQ(a->store.Var("global._statsfile"), Full("my.tms"));

  TestHost h2;
  auto b = Fresh(h2);
  b->ExecuteCommand("/addstats старое,Вес:1"_cp, false);
  b->ExecuteCommand("/loadstats {my.tms}", false);
  EXPECT_EQ(Lines(b->StatsList), Lines(a->StatsList));
  EXPECT_EQ(b->store.Var("global._statsfile"), Full("my.tms"));
  EXPECT_EQ(h2.main, "");
  EXPECT_EQ(StatsValue(*b, "МЕЧ"_cp), std::string("меч,Вес:3,Урон:2d4,"_cp));

  // Without a name the file in use is written again.
  b->ExecuteCommand("/addstats топор,Вес:7"_cp, false);
  b->ExecuteCommand("/savestats", false);
  EXPECT_NE(ReadFile(dir_ / "my.tms").find("топор=топор,Вес:7,\r\n"_cp), std::string::npos);
}

TEST_F(StatsFilesTest, AFileThatCannotBeReadChangesNothing) {
  TestHost h;
  auto c = Fresh(h);
  c->ExecuteCommand("/addstats меч,Вес:3"_cp, false);
  c->ExecuteCommand("/loadstats missing.tms", false);
  EXPECT_NE(h.main.find(std::string("Ошибка чтения файла "_cp) + Full("missing.tms") + ".\r\n"),
            std::string::npos);
  EXPECT_EQ(Lines(c->StatsList), std::vector<std::string>{std::string("меч=меч,Вес:3,"_cp)});
  EXPECT_EQ(c->store.Var("global._statsfile"), "stats.tms");

  // Appending from a file that cannot be read says so instead of reporting
  // nothing read.
  h.main.clear();
  fs::create_directories(dir_ / "folder.tms");
  c->ExecuteCommand("/appendstats folder.tms", false);
  EXPECT_NE(h.main.find(std::string("Ошибка чтения файла "_cp) + Full("folder.tms") + ".\r\n"),
            std::string::npos);
  EXPECT_EQ(h.main.find("прочитано"_cp), std::string::npos);
  EXPECT_EQ(c->StatsList.Count(), 1);
}

TEST_F(StatsFilesTest, AFailedWriteLeavesTheOldFileWhole) {
  TestHost h;
  auto c = Fresh(h);
  c->ExecuteCommand("/addstats меч,Вес:3"_cp, false);
  c->ExecuteCommand("/savestats keep.tms", false);
  const std::string old = ReadFile(dir_ / "keep.tms");
  ASSERT_FALSE(old.empty());
  for (int i = 0; i < 100; ++i)
    c->ExecuteCommand(
        "/addstats item" + std::to_string(i) + std::string(",Вес:"_cp) + std::string(100, '1'),
        false);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_IGN);
  rlimit tiny = saved;
  tiny.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &tiny);
  h.main.clear();
  c->ExecuteCommand("/savestats keep.tms", false);
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_NE(h.main.find(std::string("Ошибка записи в файл "_cp) + Full("keep.tms") + ".\r\n"),
            std::string::npos);
  EXPECT_EQ(ReadFile(dir_ / "keep.tms"), old);
  // A folder that cannot exist: the message, and the name is still taken.
  WriteFile(dir_ / "plain", "x");
  h.main.clear();
  c->ExecuteCommand("/savestats plain/s.tms", false);
  EXPECT_NE(h.main.find(std::string("Ошибка записи в файл "_cp) + Full("plain/s.tms") + "."),
            std::string::npos);
  EXPECT_EQ(c->store.Var("global._statsfile"), Full("plain/s.tms"));
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();
}

TEST_F(StatsFilesTest, AppendingKeepsOneRecordPerItemAndCountsTheRest) {
  TestHost h;
  auto c = Fresh(h);
  c->ExecuteCommand("/addstats щит,Вес:9;/addstats меч,Вес:3"_cp, false);
  // The file repeats an item of the database (in other letters) and one of
  // its own; its last line has no line end.
  WriteFile(dir_ / "more.tms", std::string("кинжал=кинжал,Вес:1,\r\nМЕЧ=МЕЧ,Вес:4,\r\n"
                                           "арбалет=арбалет,Вес:5,\r\nкинжал=кинжал,Вес:2,"_cp));
  c->ExecuteCommand("/appendstats more.tms", false);
  EXPECT_EQ(Render(h.main), "\\e[0;37m** <stamp> ** прочитано записей: 4, удалено повторов: 2\n");
  // Sorted by name; of two records of one item the later one stays.
  EXPECT_EQ(Lines(c->StatsList),
            (std::vector<std::string>{
                std::string("арбалет=арбалет,Вес:5,"_cp), std::string("кинжал=кинжал,Вес:2,"_cp),
                std::string("МЕЧ=МЕЧ,Вес:4,"_cp), std::string("щит=щит,Вес:9,"_cp)}));
  EXPECT_EQ(StatsValue(*c, "меч"_cp), std::string("МЕЧ,Вес:4,"_cp));
  // The stats file in use is not changed by appending.
  EXPECT_EQ(c->store.Var("global._statsfile"), "stats.tms");

  h.main.clear();
  c->ExecuteCommand("/appendstats more.tms", false);
  EXPECT_EQ(Render(h.main), "\\e[0;37m** <stamp> ** прочитано записей: 4, удалено повторов: 4\n");
  EXPECT_EQ(c->StatsList.Count(), 4);
}

TEST_F(StatsFilesTest, DialogsAskForAMissingNameAndACancelStops) {
  struct DialogHost : TestHost {
    std::string answer;
    int asked_open = 0;
    int asked_save = 0;
    bool CanAskFiles() const override { return true; }
    std::string AskOpenFileName(std::string_view) override {
      ++asked_open;
      return answer;
    }
    std::string AskSaveFileName(std::string_view) override {
      ++asked_save;
      return answer;
    }
  } h;
  auto c = Fresh(h);
  c->ExecuteCommand("/addstats меч,Вес:3"_cp, false);
  c->ExecuteCommand("/loadstats", false);
  c->ExecuteCommand("/clearstats;/addstats щит,Вес:9"_cp, false);
  c->ExecuteCommand("/savestats", false);
  EXPECT_EQ(h.asked_open, 1);
  EXPECT_EQ(h.asked_save, 1);
  EXPECT_EQ(h.main, "");
  EXPECT_EQ(c->StatsList.Count(), 1);
  EXPECT_FALSE(fs::exists(dir_ / "stats.tms"));

  h.answer = "picked.tms";
  c->ExecuteCommand("/savestats", false);
  EXPECT_EQ(ReadFile(dir_ / "picked.tms"), std::string("щит=щит,Вес:9,\r\n"_cp));
  c->ExecuteCommand("/clearstats", false);
  c->ExecuteCommand("/loadstats", false);
  EXPECT_EQ(c->StatsList.Count(), 1);
  EXPECT_EQ(c->store.Var("global._statsfile"), Full("picked.tms"));
  // A name given is never asked for.
  c->ExecuteCommand("/savestats other.tms", false);
  EXPECT_EQ(h.asked_save, 2);
}

TEST_F(StatsFilesTest, ShutDownWritesTheFileInUseUnlessTheDatabaseWasCleared) {
  {
    TestHost h;
    auto c = Fresh(h);
    c->ExecuteCommand("/addstats меч,Вес:3"_cp, false);
    c->Destroy();
    EXPECT_EQ(ReadFile(dir_ / "stats.tms"), std::string("меч=меч,Вес:3,\r\n"_cp));
  }
  {
    // A profile load reads it back.
    TestHost h;
    auto c = Fresh(h);
    c->ExecuteCommand("/saveprofile p.tmc", false);
    c->ExecuteCommand("/loadprofile p.tmc", false);
    EXPECT_EQ(StatsValue(*c, "меч"_cp), std::string("меч,Вес:3,"_cp));
    EXPECT_EQ(c->store.Var("global._statsfile"), Full("stats.tms"));
    c->ExecuteCommand("/clearstats", false);
    c->Destroy();
    EXPECT_EQ(ReadFile(dir_ / "stats.tms"), std::string("меч=меч,Вес:3,\r\n"_cp));
  }
}

// The stats file holds a record a line: one with a line break in it (a
// script can hand "/addstats" any bytes) would load back as several, so it
// is refused with the parameter message and the database keeps what it had.
TEST_F(StatsFilesTest, ARecordWithALineBreakIsRefusedAndTheFileLoadsBackTheSame) {
  TestHost h;
  auto c = Fresh(h);
  c->ExecuteCommand("/addstats меч,Вес:3"_cp, false);
  for (const char* record : {"\xF3\xF0\n\xEE", "щит\r,Вес:9", "лук,Вес:2\r\nстрела,Вес:1"}) {
    h.main.clear();
    c->ExecuteCommand(std::string("/addstats ") + record, false);
    EXPECT_NE(h.main.find(std::string("Ошибка в параметрах, /man /addstats"_cp)), std::string::npos) << record;
  }
  EXPECT_EQ(Lines(c->StatsList), std::vector<std::string>{std::string("меч=меч,Вес:3,"_cp)});
  c->ExecuteCommand("/savestats saved.tms", false);
  TStringList back;
  ASSERT_TRUE(back.LoadFromFile("saved.tms"));
  EXPECT_EQ(back.Lines(), c->StatsList.Lines());
}

}  // namespace
}  // namespace tarnel::test
