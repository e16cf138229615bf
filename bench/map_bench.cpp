// The map on a realistic large map: towns laid out as street grids (with a
// wide hall each), a dungeon below every town, and long roads between the
// towns.  Loading (with linking and the first layout), one recorded step
// with the layout around the new room, and saving.  Sizes 5,000 and
// 50,000 rooms; the "flat" runs join the dungeons by a street instead of a
// stair, so the map has one level only.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "interp/client.h"
#include "mapper/map_file.h"
#include "mapper/map_layout.h"
#include "map_generator.h"

namespace tarnel {
namespace {

namespace fs = std::filesystem;

using bench::Generated;

struct MapFixture {
  explicit MapFixture(int rooms, bool levels) : client(host) {
    client.DefaultProfile();
    client.store.Variables().SetValue("global._logfile", "");
    dir = fs::temp_directory_path() / ("tarnel-map-bench-" + std::to_string(rooms) + (levels ? "l" : "f"));
    fs::create_directories(dir);
    path = (dir / "map.tmm").string();
    Generated g = bench::Towns(rooms, levels);
    std::string text;
    for (const auto& r : g.rooms) text += FormatCellLine(*r) + "\r\n";
    std::ofstream(path, std::ios::binary) << text;
    start_id = g.start->id;
    count = static_cast<int>(g.rooms.size());
  }
  ~MapFixture() { fs::remove_all(dir); }
  void Load() { client.ExecuteCommand("/loadmap " + path, false); }
  // In the first town, ready to walk east and back along a street.
  void PlaceInTown() {
    Load();
    client.map.SetCurrent(client.map.CellList.FindId(start_id));
    client.ExecuteCommand("/set map.located=1", false);
    client.ExecuteCommand("/set map.flat=", false);
  }

  Host host;
  Client client;
  fs::path dir;
  std::string path;
  std::int32_t start_id = 0;
  int count = 0;
};

void BM_LoadMap(benchmark::State& state) {
  MapFixture f(static_cast<int>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) f.Load();
  state.counters["rooms"] = f.count;
}

void BM_RecordedStep(benchmark::State& state) {
  MapFixture f(static_cast<int>(state.range(0)), state.range(1) != 0);
  f.PlaceInTown();
  f.client.ExecuteCommand("/set map._autograb=on", false);
  f.client.ExecuteCommand("/set map.exits=wnes", false);
  bool east = true;
  for (auto _ : state) {
    f.client.ExecuteCommand(east ? "/nav e" : "/nav w", false);
    east = !east;
  }
  if (f.client.map.CellList.Count() != f.count) state.SkipWithError("a step made a room");
  state.counters["rooms"] = f.count;
}

void BM_SaveMap(benchmark::State& state) {
  MapFixture f(static_cast<int>(state.range(0)), state.range(1) != 0);
  f.Load();
  const std::string out = (f.dir / "saved.tmm").string();
  for (auto _ : state) f.client.ExecuteCommand("/savemap " + out, false);
  state.counters["rooms"] = f.count;
}

// {rooms, levels}
#define MAP_SIZES ->Args({5000, 1})->Args({50000, 1})->Args({5000, 0})->Args({50000, 0})->Unit(benchmark::kMillisecond)
BENCHMARK(BM_LoadMap) MAP_SIZES;
BENCHMARK(BM_RecordedStep) MAP_SIZES;
BENCHMARK(BM_SaveMap) MAP_SIZES;

}  // namespace
}  // namespace tarnel
