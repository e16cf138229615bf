// Where the network cuts the stream must not matter: a long MUD-like stream
// fed whole, byte by byte and in random pieces leaves the same screen,
// history and interpreter state.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/screen_snapshot.h"
#include "terminal/screen.h"
#include "text/cp1251.h"

namespace tarnel::test {
namespace {

using namespace tarnel::literals;

// Game-like output: rooms, coloured descriptions with highlights bracketed
// by the save/restore codes, prompts without a line end, cursor work of
// status lines, and now and then a sequence the screen does not know.
std::string MudStream(std::uint32_t seed, std::size_t size) {
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const std::string_view words[] = {"Вы"_cp,     "видите"_cp,    "здесь"_cp,  "ржавый меч"_cp,
                                    "гоблин"_cp, "сражается"_cp, "с вами"_cp, "the",
                                    "north",     "gate",         "dragon",    "is",
                                    "sleeping",  "here",         "ёлка"_cp,   "Тёмный лес"_cp};
  std::string out;
  while (out.size() < size) {
    switch (pick(20)) {
      case 0: out += "\x1b[1;36m" + std::string("Тёмная поляна"_cp) + "\x1b[0m\r\n"; break;
      case 1:
        out += "\x1b[0;32m<" + std::to_string(pick(500)) + "hp " + std::to_string(pick(200)) +
               "mv>\x1b[0m ";
        break;
      case 2:
        out += "\x1b[" + std::to_string(pick(30)) + ";" + std::to_string(pick(90)) + "H";
        break;
      case 3:
        out += "\x1b[" + std::to_string(pick(4)) + "A\x1b[" + std::to_string(pick(9)) + "C\x1b[K";
        break;
      case 4:
        out +=
            "\x1b"
            "7\x1b[1;1H\x1b[7m status \x1b[27m\x1b"
            "8";
        break;
      case 5: out += pick(2) ? "\x1b[?7h" : "\x1b[?7l"; break;
      case 6:
        out += "\x1b[" + std::to_string(1 + pick(10)) + ";" + std::to_string(5 + pick(20)) + "r";
        break;
      case 7: out += pick(2) ? "\x1b[r" : "\x1bM\x1bM"; break;
      case 8:
        out += "\x1b[" + std::to_string(pick(3)) + "L\x1b[" + std::to_string(pick(3)) + "M\x1b[" +
               std::to_string(pick(5)) + "P\x1b[" + std::to_string(pick(5)) + "@";
        break;
      case 9: out += "\x1b[1;4Iab\x1b[c\tx\b"; break;
      case 10:
        out += pick(2) ? "\x1b"
                         "c\x1b[5T"
                       : "\x1b[3?1m\x07";
        break;
      case 11: out += pick(8) ? "\x1b[J" : (pick(2) ? "\x1b[2J" : "\x1b[1J"); break;
      case 12:
        out +=
            "\x1b(0lqqk\x1b(B\x0e"
            "x\x0f";
        break;
      case 13: out += pick(4) ? "\x1b[0I\xE9\xC4\x1b[4I" : "\x80\x9f\xff"; break;
      case 14: out += std::string(static_cast<std::size_t>(pick(200)), 'w') + "\r\n"; break;
      default: {
        for (int n = 3 + pick(12); n > 0; --n) {
          const int colour = pick(8);
          if (colour == 0)
            out += "\x1b[81m\x1b[1;31m";
          else if (colour == 1)
            out += "\x1b[82m";
          else if (colour == 2)
            out += "\x1b[0;3" + std::to_string(pick(8)) + "m";
          out += words[pick(16)];
          out += ' ';
        }
        out += pick(3) ? "\r\n" : "\n\r";
      }
    }
  }
  return out;
}

struct Setup {
  int rows, cols, history;
  bool wrap;
  TScreenOptions options;
};

std::string Snapshot(const TScreen& s) { return test::ScreenSnapshot(s); }

void Prepare(TScreen& s, const Setup& setup) {
  s.ResizeRows(setup.rows);
  s.ResizeHistory(setup.history);
  s.ScreenCols = setup.cols;
  s.WrapAtMargin = setup.wrap;
  s.Options = setup.options;
  s.BackColor = 0;
  s.CursorRow = setup.rows;  // parked below the screen, as the main window does
}

class ScreenChunking : public ::testing::TestWithParam<Setup> {};

TEST_P(ScreenChunking, SameStateHoweverTheStreamIsCut) {
  const std::string stream = MudStream(20240611, 400000);

  TScreen whole;
  Prepare(whole, GetParam());
  const int whole_starts = whole.FeedText(stream);
  const std::string expected = Snapshot(whole);

  TScreen bytes;
  Prepare(bytes, GetParam());
  int starts = 0;
  for (const char c : stream) starts += bytes.FeedByte(static_cast<std::uint8_t>(c));
  EXPECT_EQ(starts, whole_starts);
  EXPECT_TRUE(Snapshot(bytes) == expected) << "byte by byte";

  for (std::uint32_t seed = 1; seed <= 3; ++seed) {
    std::mt19937 rng(seed);
    TScreen pieces;
    Prepare(pieces, GetParam());
    starts = 0;
    for (std::size_t at = 0; at < stream.size();) {
      const std::size_t n = std::min<std::size_t>(1 + rng() % 300, stream.size() - at);
      starts += pieces.FeedText(std::string_view(stream).substr(at, n));
      at += n;
    }
    EXPECT_EQ(starts, whole_starts) << "pieces, seed " << seed;
    EXPECT_TRUE(Snapshot(pieces) == expected) << "pieces, seed " << seed;
  }
}

INSTANTIATE_TEST_SUITE_P(Screens, ScreenChunking,
                         ::testing::Values(Setup{24, 80, 300, true, 0},
                                           Setup{5, 20, 40, false, vtoBackColor},
                                           Setup{30, 301, 2, true, vtoBackColor},
                                           Setup{1, 7, 0, true, 0}));

}  // namespace
}  // namespace tarnel::test
