// The screen's share of the incoming-text path: FeedText over a colour-dense
// MUD transcript, as the main terminal and the history view receive it.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "terminal/screen.h"
#include "text/cp1251.h"

namespace {

using namespace tarnel::literals;

// A few megabytes of game output: room titles and descriptions, exits,
// objects, fights, chat, highlighted words in the client's save/restore
// brackets, and a coloured prompt after every burst.
// A Windows-1251 literal as a string (through a function: clang 14 crashes
// on a variable initialised from std::string("..."_cp)).
std::string Cp(std::string_view cp1251) { return std::string(cp1251); }

std::string Transcript(std::size_t size) {
  std::mt19937 rng(1251);
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  const std::vector<std::string> rooms = {
      Cp("Таверна \"Пьяный тролль\""_cp), Cp("Торговая площадь"_cp),
      Cp("Тёмный лес"_cp), Cp("У северных ворот"_cp)};
  const std::vector<std::string> description = {
      Cp("Вы находитесь в уютной таверне, где пахнет элем и жареным мясом."_cp),
      Cp("Узкая тропа петляет между старыми елями, уходя на север."_cp),
      Cp("Шумная толпа торговцев расхваливает свой товар на все лады."_cp),
      Cp("Каменные стены ворот покрыты мхом и следами от стрел."_cp)};
  const std::vector<std::string> mobs = {Cp("Гоблин"_cp), Cp("Старый волк"_cp),
                                         Cp("Стражник"_cp), Cp("Разбойник"_cp)};
  const std::vector<std::string> hits = {
      Cp("легонько ударил"_cp), Cp("сильно рубанул"_cp),
      Cp("очень сильно укусил"_cp), Cp("промахнулся по"_cp)};
  const std::vector<std::string> items = {
      Cp("ржавый меч"_cp), Cp("кожаный шлем"_cp),
      Cp("малое зелье лечения"_cp), Cp("свиток возврата"_cp)};
  const std::string you = Cp("вам"_cp);
  const std::string exits = Cp("[ Выходы: с ю з в ]"_cp);
  const std::string lies = Cp(" лежит здесь."_cp);
  const std::string says = Cp(" дружине: "_cp);
  const std::string prompt = Cp("Вых:СЮЗВ> "_cp);

  std::string out;
  out.reserve(size + 512);
  while (out.size() < size) {
    switch (pick(6)) {
      case 0: {
        const std::size_t r = pick(rooms.size());
        out += "\x1b[1;36m" + rooms[r] + "\x1b[0m\r\n";
        out += "\x1b[0;37m" + description[r] + "\x1b[0m\r\n";
        out += "\x1b[0;36m" + exits + "\x1b[0m\r\n";
        for (std::size_t n = pick(3); n > 0; --n)
          out += "\x1b[1;33m" + items[pick(items.size())] + "\x1b[0;33m" + lies + "\x1b[0m\r\n";
        break;
      }
      case 1:
      case 2:
        for (std::size_t n = 1 + pick(4); n > 0; --n) {
          out += "\x1b[1;31m" + mobs[pick(mobs.size())] + "\x1b[0;31m " + hits[pick(hits.size())] +
                 " \x1b[81m\x1b[1;32m" + you + "\x1b[82m.\x1b[0m\r\n";
        }
        break;
      case 3:
        out += "\x1b[1;33m" + mobs[pick(mobs.size())] + says + "\x1b[0;33m'" +
               description[pick(description.size())] + "'\x1b[0m\r\n";
        break;
      case 4:
        out += "\x1b[0;37m" + description[pick(description.size())] + " \x1b[81m\x1b[1;35m" +
               items[pick(items.size())] + "\x1b[82m " + description[pick(description.size())] +
               "\x1b[0m\r\n";
        break;
      default: break;
    }
    out += "\x1b[0;32m" + std::to_string(100 + pick(400)) + "H\x1b[0m \x1b[0;33m" +
           std::to_string(pick(200)) + "M\x1b[0m \x1b[1;34m" + std::to_string(pick(90000)) +
           "o\x1b[0m " + prompt;
    out += "\r\n";
  }
  return out;
}

const std::string& SharedTranscript() {
  static const std::string text = Transcript(4 << 20);
  return text;
}

// The terminals of the main window: 80-odd columns, wrapping, no history
// colouring, the cursor parked below the last row.
void FeedTranscript(benchmark::State& state, int rows, int cols, int history) {
  const std::string& text = SharedTranscript();
  tarnel::TScreen screen;
  screen.ResizeRows(rows);
  screen.ResizeHistory(history);
  screen.ScreenCols = cols;
  screen.Options = 0;
  screen.BackColor = 0;
  screen.WrapAtMargin = true;
  screen.CursorRow = rows;
  for (auto _ : state) {
    screen.ScrollCount = 0;
    benchmark::DoNotOptimize(screen.FeedText(text));
    screen.ResetDirty();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
  state.counters["bytes_per_escape"] =
      static_cast<double>(text.size()) /
      static_cast<double>(std::count(text.begin(), text.end(), '\x1b'));
}

void BM_ScreenMainTerminal(benchmark::State& state) { FeedTranscript(state, 40, 100, 300); }
void BM_ScreenHistoryView(benchmark::State& state) { FeedTranscript(state, 39, 100, 1500); }

// The same bytes through FeedByte, one call per byte, for comparison.
void BM_ScreenByteByByte(benchmark::State& state) {
  const std::string& text = SharedTranscript();
  tarnel::TScreen screen;
  screen.ResizeRows(40);
  screen.ResizeHistory(300);
  screen.ScreenCols = 100;
  screen.Options = 0;
  screen.WrapAtMargin = true;
  for (auto _ : state) {
    int starts = 0;
    for (const char c : text) starts += screen.FeedByte(static_cast<std::uint8_t>(c));
    benchmark::DoNotOptimize(starts);
    screen.ResetDirty();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}

}  // namespace

BENCHMARK(BM_ScreenMainTerminal)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScreenHistoryView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScreenByteByByte)->Unit(benchmark::kMillisecond);
