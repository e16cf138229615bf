// Profiles of a heavy player: loading and saving a profile of N entries
// (mostly variables of ten autosaved groups, with macros, hotkeys, triggers,
// functions and arguments beside them), the joining pass of a script whose
// block is never closed, and lookups of names that are not in the store.
// Each reports the curve over N; the goal is at most 1 s to load and 0.5 s
// to save 200,000 entries.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "interp/client.h"
#include "interp/host.h"
#include "script/script_file.h"
#include "script/string_list.h"
#include "text/cp1251.h"

namespace {

using namespace tarnel;
using namespace tarnel::literals;
namespace fs = std::filesystem;

class BenchHost : public Host {
 public:
  std::tm Now() const override {
    std::tm t{};
    t.tm_mday = 1;
    t.tm_year = 126;
    return t;
  }
};

// A folder of its own, the current one while the benchmark runs (the log
// file of the default profile goes there).
class Scratch {
 public:
  Scratch() {
    dir_ = fs::temp_directory_path() / ("tarnel-profile-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    old_ = fs::current_path();
    fs::current_path(dir_);
  }
  ~Scratch() {
    fs::current_path(old_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

 private:
  fs::path dir_, old_;
};

std::string S(std::string_view cp1251) { return std::string(cp1251); }

// The lines of a profile as the client writes them, n entries in all.
std::string ProfileText(int n) {
  const std::string item = S("Предмет"_cp), say = S("говорит"_cp),
                    price = S(", вес 3, цена 100"_cp);
  std::string text;
  text.reserve(static_cast<std::size_t>(n) * 64);
  auto line = [&](const std::string& l) { text.append(l).append("\r\n"); };
  const int macros = n / 20, hotkeys = n / 100, triggers = n / 20, functions = n / 100,
            arguments = n / 100;
  for (int i = 0; i < macros; ++i)
    line("set macro m" + std::to_string(i % 10) + ".k" + std::to_string(i) + "={kill %1;say " +
         std::to_string(i) + "}");
  for (int i = 0; i < hotkeys; ++i) line("set hotkey keys.F" + std::to_string(i) + "={look}");
  for (int i = 0; i < triggers; ++i)
    line("set trig \"t" + std::to_string(i % 10) + ".%1 " + say + " " + std::to_string(i) +
         ": %2\"={/echo %1:%2}");
  for (int i = 0; i < functions; ++i)
    line("set func \"f.fn" + std::to_string(i) + "(a,b)\"={/set local.result=(%local.a+%local.b)}");
  for (int i = 0; i < arguments; ++i) line("set arg autoarg.orc" + std::to_string(i) + "={kill}");
  const int groups = 10;
  for (int g = 0; g < groups; ++g) line("set var g" + std::to_string(g) + "._autosave={on}");
  const int vars = n - macros - hotkeys - triggers - functions - arguments - groups;
  for (int i = 0; i < vars; ++i)
    line("set var g" + std::to_string(i % groups) + ".v" + std::to_string(i) + "={" + item + " " +
         std::to_string(i) + price + "}");
  return text;
}

constexpr int kSizes[] = {5000, 20000, 50000, 100000, 200000};

void Sizes(benchmark::internal::Benchmark* b) {
  for (int n : kSizes) b->Arg(n);
  b->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(false);
}

void BM_LoadProfile(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Scratch scratch;
  const std::string file = scratch.Path("big.tmc");
  std::ofstream(file, std::ios::binary) << ProfileText(n);
  BenchHost host;
  Client client(host);
  client.ExecuteCommand("/newprofile {}", false);
  for (auto _ : state) client.ExecuteCommand("/loadprofile " + file, false);
  state.counters["entries"] = n;
}
BENCHMARK(BM_LoadProfile)->Apply(Sizes);

void BM_SaveProfile(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Scratch scratch;
  const std::string file = scratch.Path("big.tmc");
  std::ofstream(file, std::ios::binary) << ProfileText(n);
  BenchHost host;
  Client client(host);
  client.ExecuteCommand("/newprofile {}", false);
  client.ExecuteCommand("/loadprofile " + file, false);
  const std::string out = scratch.Path("saved.tmc");
  for (auto _ : state) client.ExecuteCommand("/saveprofile " + out, false);
  state.counters["entries"] = n;
}
BENCHMARK(BM_SaveProfile)->Apply(Sizes);

// One "{" that is never closed, before n lines of statements.
void BM_UnclosedBlock(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<std::string> lines;
  lines.emplace_back("/if (1=1) {");
  for (int i = 0; i < n; ++i)
    lines.push_back("set var g.v" + std::to_string(i) + "={" + std::to_string(i) + "}");
  for (auto _ : state) {
    auto copy = lines;
    benchmark::DoNotOptimize(PrepareScriptLines(std::move(copy)));
  }
}
BENCHMARK(BM_UnclosedBlock)->Apply(Sizes);

// What a reference to a local or missing variable costs in a full store.
void BM_AbsentNameLookup(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  TStringList list;
  for (int i = 0; i < n; ++i) list.Add("g.v" + std::to_string(i) + "=" + std::to_string(i));
  int found = 0;
  for (auto _ : state)
    for (int i = 0; i < 1000; ++i)
      found += list.IndexOfName("default.missing" + std::to_string(i)) >= 0;
  benchmark::DoNotOptimize(found);
}
BENCHMARK(BM_AbsentNameLookup)->Arg(5000)->Arg(200000)->Unit(benchmark::kMicrosecond);

// A typed command in a store that big: its batch ends with the panels
// refreshed, which looks at every group.
void BM_CommandInFullStore(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  Scratch scratch;
  const std::string file = scratch.Path("big.tmc");
  std::ofstream(file, std::ios::binary) << ProfileText(n);
  BenchHost host;
  Client client(host);
  client.ExecuteCommand("/newprofile {}", false);
  client.ExecuteCommand("/loadprofile " + file, false);
  for (auto _ : state) client.ExecuteCommand("/set g3.counter=%g3.v3", false);
  if (client.store.Var("g3.counter") != client.store.Var("g3.v3") ||
      client.store.Var("g3.v3").empty())
    state.SkipWithError("the command did not run");
}
BENCHMARK(BM_CommandInFullStore)->Arg(5000)->Arg(200000)->Unit(benchmark::kMicrosecond);

}  // namespace
