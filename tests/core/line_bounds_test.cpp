// What a server leaves unfinished: a line cut off by the end of a
// connection, an escape sequence cut in two, and a line that never ends.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

namespace fs = std::filesystem;

class LineBoundsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarnel-lines-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    client_.DefaultProfile();
    client_.store.Variables().SetValue("global._logfile", (dir_ / "game.log").string());
    client_.RefreshPanels();
    // Counts every line that begins with "Welcome".
    client_.store.Triggers().Add("default.^Welcome=/inc seen");
    client_.ExecuteCommand("/set seen=0", false);
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Connect() {
    client_.ExecuteCommand("/connect mud 4000", false);
    client_.connection.OnConnected();
  }
  std::string Seen() { return client_.store.Var("default.seen"); }
  std::string Log() {
    std::ifstream in(dir_ / "game.log", std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
  }
  // Every row of the main terminal and its history.
  std::string Rows() {
    std::string out;
    const TScreen& s = client_.main_screen;
    for (int r = -s.HistoryRows(); r < s.ScreenRows(); ++r) {
      if (s.RowLine(r) == nullptr) continue;
      std::string row(s.RowLine(r)->Chars, 40);
      row.erase(row.find_last_not_of(' ') + 1);
      out += "|" + row + "|";
    }
    return out;
  }

  fs::path dir_;
  TestHost host_;
  Client client_{host_};
};

TEST_F(LineBoundsTest, ANewConnectionStartsWithAnEmptyLine) {
  for (const char* leftover : {"partial line", "x\x1b[1;3", "\x1b"}) {
    client_.ExecuteCommand("/set seen=0", false);
    Connect();
    client_.connection.OnRead(leftover);
    client_.connection.OnDisconnected();
    Connect();
    client_.connection.OnRead("Welcome!\r\n");
    EXPECT_EQ(Seen(), "1") << leftover;
    client_.connection.OnDisconnected();
  }
  // Neither the screen nor the log lost the first letter.
  const std::string rows = Rows();
  EXPECT_EQ(Count(rows, "|Welcome!|"), 3) << Render(rows);
  EXPECT_EQ(Count(Log(), "Welcome!"), 3);
  EXPECT_EQ(Count(Log(), "elcome!"), 3);
}

TEST_F(LineBoundsTest, ALineThatNeverEndsIsCutEveryMebibyte) {
  Connect();
  client_.store.Triggers().Add("default.^aaaa=/inc long");
  client_.ExecuteCommand("/set long=0", false);
  const std::string piece(64 * 1024, 'a');
  std::size_t longest = 0;
  for (int i = 0; i < 48; ++i) {  // 3 MiB without a line end
    client_.connection.OnRead(i % 5 == 0 ? "\x1b[1;31m" + piece : piece);
    longest = std::max(longest, client_.incoming.RawLines().back().size());
  }
  EXPECT_LE(longest, (1u << 20) + 64);
  client_.connection.OnRead("\r\nWelcome\r\n");
  // Pieces of a mebibyte each, lines of their own: three of text, and the
  // colour codes made a fourth.
  EXPECT_EQ(client_.store.Var("default.long"), "4");
  EXPECT_EQ(Seen(), "1");
  EXPECT_EQ(client_.incoming.CleanLines().size(), 1u);
}

}  // namespace
}  // namespace tarnel::test
