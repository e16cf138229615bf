// The display filter on the incoming-text path: 20 highlights and 10
// replaces (two of them gags) over a colour-dense game transcript, alone and
// as part of the whole pipeline (line assembly, triggers, filter, screens).

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "interp/client.h"
#include "pipeline/display_filter.h"
#include "text/cp1251.h"
#include "text/encoding.h"

namespace {

using namespace tarnel::literals;

std::string S(std::string_view cp) { return std::string(cp); }

std::string Transcript(std::size_t size) {
  std::mt19937 rng(1251);
  auto pick = [&](const std::vector<std::string>& v) { return v[rng() % v.size()]; };
  const std::vector<std::string> lines = {
      S("Вы находитесь в уютной таверне, где пахнет элем и жареным мясом."_cp),
      S("Узкая тропа петляет между старыми елями, уходя на север."_cp),
      S("Шумная толпа торговцев расхваливает свой товар на все лады."_cp),
      S("\x1b[1;33mГоблин\x1b[0m легонько ударил вас."_cp),
      S("Вы сильно рубанули \x1b[1;31mстарого волка\x1b[0m."_cp),
      S("Стражник промахнулся по вам."_cp),
      S("\x1b[0;36mРжавый меч\x1b[0m лежит здесь."_cp),
      S("Вася дружине: \x1b[1;32mидём на север\x1b[0m"_cp),
      S("\x1b[1;37m[ Выходы: с ю з в ]\x1b[0m"_cp),
      S("Разбойник замер, глядя на вас."_cp),
  };
  std::string out;
  while (out.size() < size) {
    out += pick(lines);
    out += "\r\n";
    if (rng() % 6 == 0) out += S("\x1b[0;32m120H 85M 140V\x1b[0m Вых:СЮЗВ> "_cp);
  }
  return out;
}

class QuietHost : public tarnel::Host {};

void Load(tarnel::Client& c) {
  c.DefaultProfile();
  c.store.Variables().SetValue("global._logfile", "");
  const char* highlights[] = {
      "highlights.Гоблин=1 11 /w", "highlights.волка=4 15 /w",    "highlights.замер=1",
      "highlights.Стражник=2",     "highlights.^Вы сильно=5",     "highlights.лежит здесь$=6",
      "highlights.дружине=3 14 /w", "highlights.Разбойник=1 9 /w", "highlights.таверне=0 12 /w",
      "highlights.тролль=1",       "highlights.орк=2 10 /w",      "highlights.дракон=1 13",
      "highlights.умер=4",         "highlights.сбежал=5 11 /w",   "highlights.Выходы=0 14 /w",
      "highlights.элем=3",         "highlights.север=2 10 /w",    "highlights.%target=1 15 /w",
      "highlights.ударил=1 9 /w",  "highlights.промахнулся=6",
  };
  const char* replaces[] = {
      "replaces.легонько=слегка",  "replaces.Ржавый=Старый ржавый", "replaces.Вых:=Выходы:",
      "replaces.пахнет=тянет",     "replaces.лады=голоса",         "replaces.с ю з в=N S W E",
      "replaces.%foe=враг",        "replaces.Шумная=Громкая",      "replaces.спам=/gag",
      "replaces.реклама=/gag",
  };
  c.store.Variables().SetValue("default.target", "Вася"_cp);
  c.store.Variables().SetValue("default.foe", "Разбойник"_cp);
  for (const char* e : highlights) c.store.Variables().Add(tarnel::text::Utf8ToCp1251(e));
  for (const char* e : replaces) c.store.Variables().Add(tarnel::text::Utf8ToCp1251(e));
}

constexpr std::size_t kChunk = 4096;

void BM_DisplayFilter(benchmark::State& state) {
  QuietHost host;
  tarnel::Client client(host);
  Load(client);
  const std::string text = Transcript(1 << 20);
  for (auto _ : state) {
    for (std::size_t i = 0; i < text.size(); i += kChunk)
      benchmark::DoNotOptimize(
          tarnel::DisplayFilter(client, std::string_view(text).substr(i, kChunk)));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DisplayFilter)->Unit(benchmark::kMillisecond);

void BM_IncomingPipeline(benchmark::State& state) {
  QuietHost host;
  tarnel::Client client(host);
  Load(client);
  client.ExecuteCommand(tarnel::text::Utf8ToCp1251("/set trig {%0 легонько ударил вас.}={/set hit=%0}"), false);
  client.ExecuteCommand(tarnel::text::Utf8ToCp1251("/set trig {Вася дружине: %0}={/set said=%0}"), false);
  const std::string text = Transcript(1 << 20);
  for (auto _ : state) {
    for (std::size_t i = 0; i < text.size(); i += kChunk)
      client.incoming.ProcessIncoming(std::string_view(text).substr(i, kChunk));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_IncomingPipeline)->Unit(benchmark::kMillisecond);

}  // namespace
