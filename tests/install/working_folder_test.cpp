// Where the client starts: beside a writable program, in the player's data
// folder when the program's folder belongs to the system.

#include "app/working_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace tarnel {
namespace {

namespace fs = std::filesystem;

struct Environment {
  std::map<std::string, std::string> vars;
  EnvironmentLookup Lookup() const {
    return [this](const char* name) -> const char* {
      auto it = vars.find(name);
      return it == vars.end() ? nullptr : it->second.c_str();
    };
  }
};

const FolderWritable kWritable = [](const std::string&) { return true; };
const FolderWritable kReadOnly = [](const std::string&) { return false; };

TEST(ChooseWorkingFolder, WritableProgramFolderStaysWhereStarted) {
  Environment env{{{"HOME", "/home/p"}, {"XDG_DATA_HOME", "/home/p/data"}}};
  EXPECT_EQ(ChooseWorkingFolder("/opt/tarnel", kWritable, env.Lookup()), "");
}

TEST(ChooseWorkingFolder, ReadOnlyProgramFolderGoesToTheDataFolder) {
  Environment env{{{"HOME", "/home/p"}}};
  EXPECT_EQ(ChooseWorkingFolder("/usr/bin", kReadOnly, env.Lookup()),
            "/home/p/.local/share/tarnel");
  env.vars["XDG_DATA_HOME"] = "/srv/data";
  EXPECT_EQ(ChooseWorkingFolder("/usr/bin", kReadOnly, env.Lookup()), "/srv/data/tarnel");
  // Empty or relative: not a valid base, the default applies.
  env.vars["XDG_DATA_HOME"] = "";
  EXPECT_EQ(ChooseWorkingFolder("/usr/bin", kReadOnly, env.Lookup()),
            "/home/p/.local/share/tarnel");
  env.vars["XDG_DATA_HOME"] = "data";
  EXPECT_EQ(ChooseWorkingFolder("/usr/bin", kReadOnly, env.Lookup()),
            "/home/p/.local/share/tarnel");
}

TEST(ChooseWorkingFolder, TarnelHomeKeepsTheStartingFolder) {
  Environment env{{{"HOME", "/home/p"}, {"TARNEL_HOME", "/tmp/t"}}};
  EXPECT_EQ(ChooseWorkingFolder("/usr/bin", kReadOnly, env.Lookup()), "");
  env.vars["TARNEL_HOME"] = "";  // set but empty counts as unset, as for the settings
  EXPECT_EQ(ChooseWorkingFolder("/usr/bin", kReadOnly, env.Lookup()),
            "/home/p/.local/share/tarnel");
}

// EnterWorkingFolder changes the process's folder: each case puts it back.
class EnterWorkingFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    start_ = fs::current_path();
    char tmpl[] = "/tmp/tarnel-wf-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(start_);
    fs::remove_all(dir_);
  }
  fs::path start_, dir_;
};

TEST_F(EnterWorkingFolderTest, CreatesTheMissingDataFolderAndMovesIntoIt) {
  Environment env{{{"HOME", (dir_ / "home").string()}}};
  EXPECT_TRUE(EnterWorkingFolder("/usr/bin", kReadOnly, env.Lookup()));
  const fs::path expected = dir_ / "home/.local/share/tarnel";
  EXPECT_TRUE(fs::is_directory(expected));
  EXPECT_EQ(fs::current_path(), expected);
  // A relative file name of the profile now lands there.
  std::ofstream("default.tmc") << "x";
  EXPECT_TRUE(fs::exists(expected / "default.tmc"));
  // A second start finds the folder there and uses it as it is.
  fs::current_path(dir_);
  EXPECT_TRUE(EnterWorkingFolder("/usr/bin", kReadOnly, env.Lookup()));
  EXPECT_EQ(fs::current_path(), expected);
  EXPECT_TRUE(fs::exists("default.tmc"));
}

TEST_F(EnterWorkingFolderTest, AFolderThatCannotBeMadeLeavesTheClientWhereItWas) {
  // A plain file stands where the data folder would be created.
  std::ofstream(dir_ / "data") << "not a folder";
  Environment env{
      {{"HOME", (dir_ / "home").string()}, {"XDG_DATA_HOME", (dir_ / "data").string()}}};
  testing::internal::CaptureStderr();
  EXPECT_FALSE(EnterWorkingFolder("/usr/bin", kReadOnly, env.Lookup()));
  const std::string warning = testing::internal::GetCapturedStderr();
  EXPECT_EQ(fs::current_path(), dir_);
  EXPECT_NE(warning.find((dir_ / "data/tarnel").string()), std::string::npos) << warning;
}

}  // namespace
}  // namespace tarnel
