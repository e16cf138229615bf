// Screen properties that the data cases cannot show: which line objects move
// where, and that the store stays a set of distinct lines.

#include "terminal/screen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <string>

namespace tarnel::test {
namespace {

std::string Text(const TLine* line, int cols) {
  std::string s(line->Chars, line->Chars + cols);
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

// Every row from the oldest history row to the bottom is its own line.
void ExpectDistinctLines(const TScreen& s) {
  std::set<const TLine*> seen;
  for (int r = -s.HistoryRows(); r < s.ScreenRows(); ++r) {
    const TLine* line = s.RowLine(r);
    ASSERT_NE(line, nullptr) << "row " << r;
    EXPECT_TRUE(seen.insert(line).second) << "row " << r << " shares its line";
  }
}

TEST(ScreenLines, ScrollingMovesLinesInsteadOfCopyingThem) {
  TScreen s;
  s.Options = 0;
  s.ResizeRows(3);
  s.ResizeHistory(300);
  s.FeedText("\033[3;1H");
  for (int i = 0; i < 299; ++i) s.FeedText("\n");
  ASSERT_EQ(s.HistoryTop(), -299);

  // The 300th scroll reuses the oldest history line as the new bottom row,
  // and the former top row becomes the newest history line.
  const TLine* oldest = s.RowLine(-299);
  const TLine* top = s.RowLine(0);
  const TLine* second = s.RowLine(1);
  s.FeedText("x\n");
  EXPECT_EQ(s.RowLine(2), oldest);
  EXPECT_EQ(s.RowLine(-1), top);
  EXPECT_EQ(s.RowLine(0), second);
  EXPECT_EQ(Text(s.RowLine(2), 80), "");
  EXPECT_EQ(s.HistoryTop(), -299);
  ExpectDistinctLines(s);
}

TEST(ScreenLines, HistoryGrowsByTakingTheNextBlankLine) {
  TScreen s;
  s.ResizeRows(2);
  s.ResizeHistory(10);
  const TLine* next_blank = s.RowLine(-1);
  const TLine* top = s.RowLine(0);
  s.FeedText("a\r\n\r\n");
  EXPECT_EQ(s.RowLine(1), next_blank);
  EXPECT_EQ(s.RowLine(-1), top);
  EXPECT_EQ(Text(s.RowLine(-1), 80), "a");
}

TEST(ScreenLines, RegionScrollsKeepTheLinesOutsideTheRegion) {
  TScreen s;
  s.ResizeRows(6);
  s.ResizeHistory(4);
  const TLine* outside_top = s.RowLine(0);
  const TLine* outside_bottom = s.RowLine(5);
  s.FeedText("\033[2;5r\033[5;1H\n\n\033M\033M\033M\033[2;1H\033[2L\033[3M");
  EXPECT_EQ(s.RowLine(0), outside_top);
  EXPECT_EQ(s.RowLine(5), outside_bottom);
  ExpectDistinctLines(s);
}

TEST(ScreenLines, StoreStaysDistinctThroughResizesAndPushes) {
  TScreen s;
  s.Options = vtoCopyBackOnClear;
  const int rows[] = {3, 10, 1, 7, 25, 2};
  const int history[] = {0, 5, 1, 2, 40, 12, 3};
  for (int round = 0; round < 30; ++round) {
    s.ResizeRows(rows[round % 6]);
    s.ResizeHistory(history[round % 7]);
    s.FeedText("line\r\n\033[2J more\r\n\033[1;2r\n\n\033[r");
    s.PushScreenToHistory();
    EXPECT_GE(s.HistoryTop(), std::min(0, 1 - s.HistoryRows()));
    EXPECT_LE(s.HistoryTop(), 0);
    ExpectDistinctLines(s);
  }
}

TEST(ScreenLines, RowsAboveTheScreenAddressTheBottomRowAndRowsBelowTheStoreNothing) {
  TScreen s;
  s.ResizeHistory(3);
  EXPECT_EQ(s.RowLine(25), s.RowLine(24));
  EXPECT_EQ(s.RowLine(1000000), s.RowLine(24));
  EXPECT_NE(s.RowLine(-3), nullptr);
  EXPECT_EQ(s.RowLine(-4), nullptr);
  EXPECT_EQ(s.RowLine(-2000000000), nullptr);
}

TEST(ScreenCallbacks, NothingHappensWithoutHandlersAndHandlersSeeTheScreen) {
  TScreen s;
  s.FeedText("\a\033[?25l\033c\033[5T\033");
  s.FeedText(std::string(90, '1'));
  EXPECT_TRUE(s.CursorHidden);

  bool hidden_seen = true;
  int beeps = 0;
  std::string debug;
  s.CursorVisibilityHandler = [&](TScreen& screen) { hidden_seen = screen.CursorHidden; };
  s.OnBeep = [&] { ++beeps; };
  s.OnDebug = [&](std::string_view text) { debug += text; };
  s.FeedText("\033[?25h\a\033D");
  EXPECT_FALSE(hidden_seen);
  EXPECT_EQ(beeps, 1);
  // The counter also ran while nobody listened: two reports before.
  EXPECT_EQ(debug, "0003 Unimplemented Escape Sequence: D\r\n");
}

// A colour sequence the screen has met before may be answered from memory;
// the same codes written with more than seven parameter bytes (leading
// zeros) are always read afresh.  Both must leave the same colours, the
// same reverse switch and the same colour stack, from any state.
TEST(ScreenColours, ARememberedColourSequenceActsAsOneReadAfresh) {
  TScreen remembered, fresh;
  std::mt19937 rng(19);
  const int codes[] = {0, 1, 4, 5, 7, 8, 22, 27, 30, 31, 33, 36, 37, 40, 41, 44, 47, 81, 82, 99, 255};
  const char separators[] = {';', ';', ';', ' ', '?'};
  for (int step = 0; step < 20000; ++step) {
    std::string params;
    const int count = static_cast<int>(rng() % 4);
    for (int k = 0; k < count; ++k) {
      if (k > 0) params += separators[rng() % std::size(separators)];
      params += std::to_string(codes[rng() % std::size(codes)]);
    }
    const std::string glyph(1, static_cast<char>('a' + step % 26));
    remembered.FeedText("\033[" + params + "m" + glyph);
    fresh.FeedText("\033[" + (params.empty() ? "" : "0000000" + params) + "m" + glyph);
    ASSERT_EQ(remembered.CurAttr, fresh.CurAttr) << "step " << step << ": \\e[" << params << "m";
    ASSERT_EQ(remembered.ReverseOn(), fresh.ReverseOn()) << "step " << step;
    ASSERT_EQ(remembered.AttrDepth(), fresh.AttrDepth()) << "step " << step;
  }
  for (int r = 0; r < remembered.ScreenRows(); ++r)
    EXPECT_EQ(0, std::memcmp(remembered.RowLine(r)->Attrs, fresh.RowLine(r)->Attrs, kLineCells)) << "row " << r;
}

}  // namespace
}  // namespace tarnel::test
