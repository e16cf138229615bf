// The whole road of server text on one core: a 10 MB Windows-1251 game
// transcript (colours, prompts ended by GA, doubled 0xFF bytes), sent as an
// MCCP2 stream in realistic reads, through the compression filter, the
// telnet pass, line assembly, the triggers, the display filter, both screens
// and the log file.  "Full" carries a player's script load (100 triggers, 10
// of them firing often with captures and a "/set", 20 highlights and 10
// replaces); "Bare" has none of it; "Triggers" is "Full" with as many
// triggers as its argument says.  Throughput counts transcript bytes.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "game_session.h"

namespace {

using namespace tarnel;
using namespace tarnel::bench;

void RunSession(benchmark::State& state, int triggers) {
  const Wire& wire = Session();
  const auto dir =
      std::filesystem::temp_directory_path() / ("tarnel-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string log = (dir / "session.log").string();
  for (auto _ : state) {
    state.PauseTiming();
    std::filesystem::remove(log);
    BenchHost host;
    auto client = std::make_unique<Client>(host);
    client->DefaultProfile();
    if (triggers > 0)
      LoadScripts(*client, triggers);
    else
      client->store.Triggers().Clear();
    client->store.Variables().SetValue("global._logfile", log);
    client->RefreshPanels();
    state.ResumeTiming();

    client->connection.OnConnected();
    for (const std::string& read : wire.reads) client->connection.OnRead(read);

    state.PauseTiming();
    benchmark::DoNotOptimize(client->main_screen.CursorRow);
    client.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(wire.text_bytes));
  std::filesystem::remove_all(dir);
}

void BM_IncomingFull(benchmark::State& state) { RunSession(state, 100); }
void BM_IncomingBare(benchmark::State& state) { RunSession(state, 0); }
void BM_IncomingTriggers(benchmark::State& state) { RunSession(state, static_cast<int>(state.range(0))); }

BENCHMARK(BM_IncomingFull)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_IncomingBare)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_IncomingTriggers)->Arg(10)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace
