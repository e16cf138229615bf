// Output to the terminals and the log, on real files.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "pipeline/escape_stripper.h"
#include "pipeline/output.h"
#include "test_host.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

using namespace literals;
namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

class OutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tarnel-out-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    log_ = dir_ / "game.log";
    client_.store.Variables().Add("global._logfile=" + log_.string());
  }
  void TearDown() override { fs::remove_all(dir_); }

  TestHost host_;
  Client client_{host_};
  fs::path dir_;
  fs::path log_;
};

TEST_F(OutputTest, TextGoesToBothTerminalsAndTheLogWithoutEscapes) {
  client_.PrintText("\x1b[1;31mred\x1b[0m\r\n");
  EXPECT_EQ(host_.main, "\x1b[1;31mred\x1b[0m\r\n");
  EXPECT_EQ(host_.history, host_.main);
  EXPECT_EQ(ReadFile(log_), "red\r\n");
  client_.PrintText("more\r\n");
  EXPECT_EQ(ReadFile(log_), "red\r\nmore\r\n");
}

TEST_F(OutputTest, AnEmptyTextStillCreatesTheLogAndRepaints) {
  const int repaints = host_.main_repaints;
  client_.PrintText("");
  EXPECT_TRUE(fs::exists(log_));
  EXPECT_EQ(ReadFile(log_), "");
  EXPECT_EQ(host_.main_repaints, repaints + 1);
}

TEST_F(OutputTest, EscapeSequencesCutBetweenOutputsStayOutOfTheLog) {
  client_.PrintText("\x1b[1;3");
  client_.PrintText("1mX");
  client_.PrintText("\x1b(Bx\x1b" "7y\x1b]z");
  EXPECT_EQ(ReadFile(log_), "Xxyz");
}

TEST_F(OutputTest, AnOverlongSequenceBeepsAndTheRestIsText) {
  client_.PrintText("\x1b[" + std::string(300, '1') + "m");
  // Both screens give up at 80 bytes and the log at 255: three beeps.
  EXPECT_EQ(host_.beeps, 3);
  // 254 digits after "[" fill the buffer; the rest of the digits and "m" are text.
  EXPECT_EQ(ReadFile(log_), std::string(300 - 254, '1') + "m");
}

// The log is kept open between texts; what the player does to the file
// meanwhile must still be seen at the next text.
TEST_F(OutputTest, ALogMovedRemovedOrRenamedIsStartedAfreshUnderItsName) {
  client_.PrintText("one\r\n");
  const fs::path moved = dir_ / "moved.log";
  fs::rename(log_, moved);
  client_.PrintText("two\r\n");
  EXPECT_EQ(ReadFile(moved), "one\r\n");
  EXPECT_EQ(ReadFile(log_), "two\r\n");

  fs::remove(log_);
  client_.PrintText("");
  EXPECT_TRUE(fs::exists(log_));
  client_.PrintText("three\r\n");
  EXPECT_EQ(ReadFile(log_), "three\r\n");

  // Another file put under the name takes the text from then on.
  {
    std::ofstream(dir_ / "other.log", std::ios::binary) << "other\r\n";
  }
  fs::rename(dir_ / "other.log", log_);
  client_.PrintText("four\r\n");
  EXPECT_EQ(ReadFile(log_), "other\r\nfour\r\n");

  // A new name, then the old one again.
  const fs::path second = dir_ / "second.log";
  client_.store.Variables().SetValue("global._logfile", second.string());
  client_.PrintText("five\r\n");
  client_.store.Variables().SetValue("global._logfile", log_.string());
  client_.PrintText("six\r\n");
  EXPECT_EQ(ReadFile(second), "five\r\n");
  EXPECT_EQ(ReadFile(log_), "other\r\nfour\r\nsix\r\n");
}

TEST_F(OutputTest, ARelativeLogNameFollowsTheCurrentFolder) {
  const fs::path old = fs::current_path();
  fs::create_directories(dir_ / "a");
  fs::create_directories(dir_ / "b");
  client_.store.Variables().SetValue("global._logfile", "rel.log");
  fs::current_path(dir_ / "a");
  client_.PrintText("a\r\n");
  fs::current_path(dir_ / "b");
  client_.PrintText("b\r\n");
  fs::current_path(old);
  EXPECT_EQ(ReadFile(dir_ / "a" / "rel.log"), "a\r\n");
  EXPECT_EQ(ReadFile(dir_ / "b" / "rel.log"), "b\r\n");
}

TEST_F(OutputTest, ALogInAMissingFolderReportsOnTheMainTerminalOnly) {
  const std::string bad = (dir_ / "no" / "such" / "x.log").string();
  client_.store.Variables().SetValue("global._logfile", bad);
  client_.PrintText("hello\r\n");
  client_.PrintText("again\r\n");
  const std::string msg = "\x1b[0;37m** 07.12.2026 09:05 ** " + Cp("Ошибка записи в "_cp) +
                          "\"" + bad + "\".\r\n";
  EXPECT_EQ(host_.main, "hello\r\n" + msg + "again\r\n" + msg);
  EXPECT_EQ(host_.history, "hello\r\nagain\r\n");
}

TEST_F(OutputTest, AnEmptyLogNameLogsNothing) {
  client_.store.Variables().SetValue("global._logfile", "");
  client_.store.Variables().Add("global._logfile=");
  client_.PrintText("x\r\n");
  EXPECT_FALSE(fs::exists(log_));
  EXPECT_EQ(host_.main, "x\r\n");
}

TEST_F(OutputTest, TheLogCommandNamesAFileRelativeToTheCurrentFolder) {
  const fs::path old = fs::current_path();
  fs::current_path(dir_);
  client_.ExecuteCommand("/set global._logfile=rel.log", false);
  client_.PrintText("r\r\n");
  fs::current_path(old);
  EXPECT_EQ(client_.store.Var("global._logfile"), (dir_ / "rel.log").string());
  EXPECT_EQ(ReadFile(dir_ / "rel.log"), "r\r\n");
}

TEST(HiddenLines, LinesFromTheMarkerToTheLineEndDisappear) {
  const std::string m = "##\xC2\xFB";
  EXPECT_EQ(RemoveHiddenLines("abc\r\n" + m + " hidden\r\nxyz\r\n"), "abc\r\nxyz\r\n");
  EXPECT_EQ(RemoveHiddenLines("a\n" + m + " one\n" + m + " two\nz"), "a\nz");
  // A marker with nothing after it stays; one without a line end hides the rest.
  EXPECT_EQ(RemoveHiddenLines("x" + m), "x" + m);
  EXPECT_EQ(RemoveHiddenLines("x" + m + " tail"), "x");
  // The scan looks for a marker only after stepping past a byte, so a marker
  // in the very first position is not seen.
  EXPECT_EQ(RemoveHiddenLines(m + " one\n" + m + " two\nz"), m + " one\nz");
}

// The jump over a whole sequence lands where feeding byte by byte leaves
// the sequence, on every kind of sequence and on random bytes.
TEST(EscapeStripper, SequenceEndAgreesWithFeedingByteByByte) {
  std::mt19937 rng(11);
  const std::string bytes = "\x1b[]();?0123456789 mHD7(+*AB\xff";
  std::vector<std::string> texts = {"\x1b[1;36mroom", "\x1b", "\x1b[", "\x1b(B", "\x1b(", "\x1b" "7x",
                                    "\x1b\x1b[0m", "\x1b[?25l", "\x1b]0;t", "\x1b[" + std::string(300, '1') + "mx"};
  for (int k = 0; k < 3000; ++k) {
    std::string t = "\x1b";
    for (std::size_t n = rng() % 12; n > 0; --n) t += bytes[rng() % bytes.size()];
    texts.push_back(t);
  }
  for (const std::string& t : texts) {
    EscapeStripper s;
    bool over = false;
    std::size_t end = t.size();
    for (std::size_t i = 0; i < t.size(); ++i) {
      s.Feed(static_cast<unsigned char>(t[i]), over);
      if (!s.Inside()) {
        end = i + 1;
        break;
      }
    }
    ASSERT_EQ(EscapeStripper::SequenceEnd(t, 0), end) << t;
  }
}

// Stripping whole texts keeps what feeding byte by byte keeps, the state
// carried from one text to the next and the count of abandoned sequences
// included: ESCs at every place within and across the copied blocks, texts
// shorter than a block, sequences cut at a text's end.
TEST(EscapeStripper, StrippingWholeTextsAgreesWithFeedingByteByByte) {
  std::mt19937 rng(12);
  const std::string bytes = "\x1b\x1b[[;;0123456789mmabcdefgh \xe0\xff\r\n(";
  EscapeStripper whole, single;
  std::string out = "kept";
  std::string expected = "kept";
  int whole_over = 0, single_over = 0;
  for (int k = 0; k < 4000; ++k) {
    // Now and then a sequence long enough to be abandoned, or cut by the
    // text's end and finished in the next one.
    std::string t = k % 50 == 0 ? "\x1b[" + std::string(100 + rng() % 300, '2') : std::string();
    const std::size_t n = rng() % 40;
    for (std::size_t i = 0; i < n; ++i)
      t += rng() % 4 == 0 ? bytes[rng() % bytes.size()] : static_cast<char>('a' + rng() % 26);
    whole_over += whole.StripInto(t, out);
    for (char c : t) {
      bool over = false;
      if (single.Feed(static_cast<unsigned char>(c), over)) expected += c;
      if (over) ++single_over;
    }
    ASSERT_EQ(out, expected) << k;
    ASSERT_EQ(whole.Inside(), single.Inside()) << k;
  }
  EXPECT_EQ(whole_over, single_over);
  EXPECT_GT(whole_over, 0);
}

TEST(EscapeStripper, LineModeKeepsStateAcrossCalls) {
  EscapeStripper s;
  std::string out;
  bool over = false;
  for (char c : std::string("a\x1b[1;3")) if (s.Feed(static_cast<unsigned char>(c), over)) out += c;
  EXPECT_TRUE(s.Inside());
  const auto saved = s.Save();
  s.Reset();
  EXPECT_FALSE(s.Inside());
  s.Restore(saved);
  for (char c : std::string("2mb")) if (s.Feed(static_cast<unsigned char>(c), over)) out += c;
  EXPECT_EQ(out, "ab");
}

}  // namespace
}  // namespace tarnel::test
