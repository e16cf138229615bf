// Profiles on real files: saving, loading, including, and start-up.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "script/script_file.h"
#include "script/text_file.h"
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

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarnel-profile-" + std::to_string(::getpid()) + "-" +
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
  // A client as after start-up: the default profile, no log.
  std::unique_ptr<Client> Fresh(TestHost& host) {
    auto c = std::make_unique<Client>(host);
    c->ExecuteCommand("/newprofile {}", false);
    c->ExecuteCommand("/set global._logfile=", false);
    host.main.clear();
    return c;
  }
  fs::path dir_, old_;
};

TEST_F(ProfileTest, SavingAndLoadingGivesTheSameFileAndLists) {
  std::ofstream(dir_ / "extra.tmc") << "set var extra.v={1}\r\n";
  TestHost h1;
  auto a = Fresh(h1);
  for (const char* cmd : {
           "/set macro k={kill %0;say \"done\" {x}}",
           "/set macro fight.b={bash %1*}",
           "/set hot F5={look}",
           "/set hot ctrl+f1={/echo don't panic}",
           "/set trig {^You can't go there$}={/echo blocked}",
           "/set trig {preview.%1 says: %2}={/echo %1:%2}",
           "/set func sum(a,b)={/set local.result=(%local.a+%local.b)}",
           "/set arg autoarg.orc={kill}",
           "/set var kept._autosave=on",
           "/set var kept.spaced={trailing   }",
           "/set var kept.formula={(1+2)}",
           "/set var kept.brace={a}b}",
           "/set var kept.quote={say \"hi\" it's}",
           "/set var lost.v={not kept}",
           "/set var kept.v={kept}",
           "/set var manual.topic={my help}",
           "/include extra.tmc",
           "/include extra.tmc",
       })
    a->ExecuteCommand(cmd, false);
  a->ExecuteCommand("/saveprofile first.tmc", false);
  const std::string first = ReadFile(dir_ / "first.tmc");
  EXPECT_NE(first.find("set trig \"default.^You can't go there$\"={/echo blocked}\r\n"), std::string::npos);
  EXPECT_NE(first.find("set var kept.spaced={trailing   }\r\n"), std::string::npos) << first;
  EXPECT_EQ(first.find("lost.v"), std::string::npos);
  EXPECT_NE(first.find("set var kept.v={kept}\r\n"), std::string::npos);
  // Included twice, the file is recorded once.
  const std::string include_line = "include {" + (dir_ / "extra.tmc").string() + "}\r\n";
  ASSERT_NE(first.find(include_line), std::string::npos);
  EXPECT_EQ(first.find(include_line, first.find(include_line) + 1), std::string::npos);
  EXPECT_EQ(first.find("_currow"), std::string::npos);

  TestHost h2;
  auto b = Fresh(h2);
  b->ExecuteCommand("/loadprofile first.tmc", false);
  EXPECT_NE(h2.main.find("Загружен профиль"_cp), std::string::npos);
  for (EntryKind k : {EntryKind::Macros, EntryKind::Hotkeys, EntryKind::Triggers, EntryKind::Functions,
                      EntryKind::Arguments})
    EXPECT_EQ(b->store.List(k).Lines(), a->store.List(k).Lines()) << static_cast<int>(k);
  EXPECT_EQ(b->store.Var("kept.spaced"), "trailing   ");
  EXPECT_EQ(b->store.Var("kept.formula"), "(1+2)");
  EXPECT_EQ(b->store.Var("kept.brace"), "a}b");
  EXPECT_EQ(b->store.Var("kept.quote"), "say \"hi\" it's");
  EXPECT_EQ(b->store.Var("global._profile"), (dir_ / "first.tmc").string());
  b->ExecuteCommand("/saveprofile second.tmc", false);
  // Apart from the line naming the current profile the files are the same.
  auto without_profile = [](std::string text) {
    const auto b = text.find("set var global._profile=");
    if (b != std::string::npos) text.erase(b, text.find("\r\n", b) + 2 - b);
    return text;
  };
  EXPECT_EQ(without_profile(ReadFile(dir_ / "second.tmc")), without_profile(first));
  // Saved again from the same state, the file is byte-identical.
  b->ExecuteCommand("/saveprofile third.tmc", false);
  b->ExecuteCommand("/saveprofile third.tmc", false);
  b->ExecuteCommand("/loadprofile third.tmc", false);
  b->ExecuteCommand("/saveprofile fourth.tmc", false);
  b->ExecuteCommand("/saveprofile fourth.tmc", false);
  std::string third = ReadFile(dir_ / "third.tmc"), fourth = ReadFile(dir_ / "fourth.tmc");
  EXPECT_EQ(without_profile(third), without_profile(fourth));
}

TEST_F(ProfileTest, ScriptFilesFollowTheirLineRules) {
  EXPECT_EQ(PrepareScriptLines({"/while (%x<3) {", "/inc x", "/echo %x", "}"}),
            (std::vector<std::string>{"/while (%x<3) {/inc x;/echo %x}"}));
  EXPECT_EQ(PrepareScriptLines({"  // a comment", "", "say hello", "\"say hello\"", "'x'"}),
            (std::vector<std::string>{"/say hello", "/do \"say hello\"", "/do 'x'"}));
  EXPECT_EQ(PrepareScriptLines({"/if (1=1) {", "/echo a", "} else {", "/echo b", "}"}),
            (std::vector<std::string>{"/if (1=1) {/echo a} else {/echo b}"}));
  EXPECT_EQ(PrepareScriptLines({"/if (1=2) /echo a", "else /echo b"}),
            (std::vector<std::string>{"/if (1=2) /echo a else /echo b"}));
  // A first line "}" and a last line "{" stay as they are.
  EXPECT_EQ(PrepareScriptLines({"}", "/echo x"}), (std::vector<std::string>{"}", "/echo x"}));
  EXPECT_EQ(PrepareScriptLines({"/echo x", "{"}), (std::vector<std::string>{"/echo x", "{"}));
  // A line beginning with "{" takes the following lines.
  EXPECT_EQ(PrepareScriptLines({"{", "echo a", "/echo b"}),
            (std::vector<std::string>{"{/echo a/echo b"}));
  // "}" leaves the rest of its line to be looked at again.
  EXPECT_EQ(PrepareScriptLines({"/a {", "/b", "} look"}),
            (std::vector<std::string>{"/a {/b}", "/look"}));
}

TEST_F(ProfileTest, AScriptFileRunsItsStatements) {
  std::ofstream(dir_ / "loop.tmc") << "// counts to three\r\n/set x=0\r\n/while (%x<3) {\r\n/inc x\r\n}\r\n";
  TestHost h;
  auto c = Fresh(h);
  c->ExecuteCommand("/run loop.tmc", false);
  EXPECT_EQ(c->store.Var("default.x"), "3");
  c->ExecuteCommand("/exec missing.tmc", false);
  EXPECT_NE(h.main.find(std::string("Ошибка чтения файла "_cp) + (dir_ / "missing.tmc").string() + "."),
            std::string::npos);
}

TEST_F(ProfileTest, AFailedSaveLeavesTheOldProfileWholeAndLoadable) {
  TestHost h;
  auto c = Fresh(h);
  c->ExecuteCommand("/set var kept._autosave=on;/set var kept.x={1}", false);
  c->ExecuteCommand("/saveprofile keep.tmc", false);
  const std::string old = ReadFile(dir_ / "keep.tmc");
  ASSERT_FALSE(old.empty());
  // Enough data that the write cannot fit under a small file-size limit.
  for (int i = 0; i < 200; ++i) c->ExecuteCommand("/set macro m" + std::to_string(i) + "={" + std::string(100, 'x') + "}", false);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_IGN);
  rlimit tiny = saved;
  tiny.rlim_cur = 4096;
  setrlimit(RLIMIT_FSIZE, &tiny);
  h.main.clear();
  c->ExecuteCommand("/saveprofile keep.tmc", false);
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_NE(h.main.find(std::string("Ошибка записи в файл "_cp) + (dir_ / "keep.tmc").string() + "."), std::string::npos);
  EXPECT_EQ(ReadFile(dir_ / "keep.tmc"), old);
  // A folder that cannot exist (a file stands in its place).
  std::ofstream(dir_ / "plainfile") << "x";
  c->ExecuteCommand("/saveprofile plainfile/p.tmc", false);
  EXPECT_NE(h.main.find("plainfile/p.tmc."), std::string::npos);
  // The old file still loads.
  TestHost h2;
  auto d = Fresh(h2);
  d->ExecuteCommand("/loadprofile keep.tmc", false);
  EXPECT_EQ(d->store.Var("kept.x"), "1");
  for (const auto& e : fs::directory_iterator(dir_))
    EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();
}

TEST_F(ProfileTest, WithoutDialogsAMissingNameIsAParameterError) {
  TestHost h;
  auto c = Fresh(h);
  c->ExecuteCommand("/set global._profile=", false);
  c->store.Variables().SetValue("global._profile", "");
  c->ExecuteCommand("/saveprofile", false);
  c->ExecuteCommand("/loadprofile", false);
  EXPECT_NE(h.main.find("/man /saveprofile"), std::string::npos);
  EXPECT_NE(h.main.find("/man /loadprofile"), std::string::npos);
}

TEST_F(ProfileTest, ADialogThatIsCancelledDoesNothing) {
  struct DialogHost : TestHost {
    std::string answer;
    bool CanAskFiles() const override { return true; }
    std::string AskOpenFileName(std::string_view) override { return answer; }
    std::string AskSaveFileName(std::string_view) override { return answer; }
  } h;
  auto c = Fresh(h);
  c->ExecuteCommand("/set x=5", false);
  c->ExecuteCommand("/loadprofile", false);
  EXPECT_EQ(c->store.Var("default.x"), "5");
  EXPECT_EQ(h.main, "");
  h.answer = (dir_ / "chosen.tmc").string();
  c->store.Variables().SetValue("global._profile", "");
  c->ExecuteCommand("/save", false);
  EXPECT_TRUE(fs::exists(dir_ / "chosen.tmc"));
}

TEST_F(ProfileTest, StartUpLoadsTheLastProfileOrCreatesTheDefault) {
  {
    TestHost h;
    h.dir = dir_.string();
    Client c(h);
    c.Create({});
    EXPECT_EQ(c.StartupCommand(), "/newprofile {}");
    c.Activate();
    c.ExecuteCommand("/set macro k={kill}", false);
    c.Destroy();
  }
  EXPECT_EQ(ReadFile(dir_ / "TARNEL.ini"), "lastprofile=" + (dir_ / "default.tmc").string() + "\r\n");
  EXPECT_NE(ReadFile(dir_ / "default.tmc").find("set macro default.k={kill}"), std::string::npos);
  {
    TestHost h;
    h.dir = dir_.string();
    Client c(h);
    c.Create({});
    EXPECT_EQ(c.StartupCommand(), "/loadprofile {" + (dir_ / "default.tmc").string() + "}");
    c.Activate();
    EXPECT_EQ(c.store.Macros().GetValue("default.k"), "kill");
  }
  // A last profile that cannot be read leaves the default profile.
  std::ofstream(dir_ / "TARNEL.ini") << "lastprofile=" << (dir_ / "gone.tmc").string() << "\r\n";
  {
    TestHost h;
    h.dir = dir_.string();
    Client c(h);
    c.Create({});
    c.Activate();
    EXPECT_NE(h.main.find("Ошибка чтения файла "_cp), std::string::npos);
    EXPECT_EQ(c.store.Var("global._logfile"), "standart.log");
    EXPECT_EQ(c.store.Macros().GetValue("default.k"), "");
  }
}

}  // namespace
}  // namespace tarnel::test
