// Drawing the map column's picture on the offscreen platform.
//
// BM_DrawFullView: the largest view there is, 200 x 200 squares of 10 x 10
// pixels (zoom -2, a 2000 x 2000 image), every slot of level 0 holding a
// room: a fully linked 201 x 201 grid with the current room in the middle,
// some rooms flagged, some walls, some ways up and down.
//
// BM_StepAndRedraw: one recorded step on the large generated map (towns,
// dungeons, roads; with levels and flat), "/nav e" and "/nav w" in turn,
// each followed by the redraw, at a normal column size (260 x 400, zoom 1)
// and at the full 2000 x 2000 view.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "interp/client.h"
#include "mapper/map_drawing.h"
#include "mapper/map_file.h"
#include "mapper/map_layout.h"
#include "ui/map_view.h"
#include "map_generator.h"

namespace tarnel {
namespace {

namespace fs = std::filesystem;
using bench::Generated;
using bench::Join;
using bench::NewRoom;
using bench::Towns;

// 201 x 201 rooms, all joined to their neighbours, the start in the
// middle.  Every 13th room has a flag; every 17th has its east side walled
// (the neighbour's west side too); every 29th has a way up to a room of its
// own, every 31st a way down.
Generated FullGrid() {
  constexpr int kSide = 201;
  Generated g;
  std::vector<tmudcell*> cells = StreetGrid(g, kSide, "Field");
  static const char kFlags[] = "LMTBH";
  for (int i = 0; i < kSide * kSide; ++i) {
    tmudcell* c = cells[static_cast<std::size_t>(i)];
    if (i % 13 == 5) c->flag = kFlags[(i / 13) % 5];
    if (i % 17 == 3 && i % kSide != kSide - 1) {
      tmudcell* east = c->links[kEast];
      c->links[kEast] = nullptr;
      c->exitIds[kEast] = -1;
      east->links[kWest] = nullptr;
      east->exitIds[kWest] = -1;
    }
  }
  for (int i = 0; i < kSide * kSide; ++i) {
    if (i % 29 == 7) Join(cells[static_cast<std::size_t>(i)], kUp, NewRoom(g, "Tower"));
    if (i % 31 == 11) Join(cells[static_cast<std::size_t>(i)], kDown, NewRoom(g, "Cellar"));
  }
  g.start = cells[static_cast<std::size_t>((kSide / 2) * kSide + kSide / 2)];
  return g;
}

struct MapFixture {
  MapFixture(const std::string& tag, Generated g) : client(host) {
    client.DefaultProfile();
    client.store.Variables().SetValue("global._logfile", "");
    dir = fs::temp_directory_path() / ("tarnel-map-view-bench-" + tag);
    fs::create_directories(dir);
    const std::string path = (dir / "map.tmm").string();
    std::string text;
    for (const auto& r : g.rooms) text += FormatCellLine(*r) + "\r\n";
    std::ofstream(path, std::ios::binary) << text;
    count = static_cast<int>(g.rooms.size());
    client.ExecuteCommand("/loadmap " + path, false);
    client.map.SetCurrent(client.map.CellList.FindId(g.start->id));
    client.ExecuteCommand("/set map.located=1", false);
    client.ExecuteCommand("/set map.flat=", false);
    CenterOnCurrentCell(client);
  }
  ~MapFixture() { fs::remove_all(dir); }

  // The view as the map column has it at this size and zoom.
  void View(int width, int height, int zoom) {
    client.map.view.SetImageSize(width, height);
    client.map.view.SetZoom(zoom);
    image = QImage(width, height, QImage::Format_RGB32);
  }
  void Draw() {
    ImageMapCanvas canvas(image);
    DrawMap(client.map, colours, true, canvas);
  }
  int FilledLevel0() const {
    int n = 0;
    for (int x = -100; x <= 100; ++x)
      for (int y = -100; y <= 100; ++y)
        if (client.map.RoomAt(x, y, 0) != nullptr) ++n;
    return n;
  }

  Host host;
  Client client;
  fs::path dir;
  int count = 0;
  MapColours colours;
  QImage image;
};

void BM_DrawFullView(benchmark::State& state) {
  MapFixture f("grid", FullGrid());
  f.View(2000, 2000, MapViewState::kMinZoom);
  for (auto _ : state) {
    f.Draw();
    benchmark::DoNotOptimize(f.image.constBits());
  }
  state.counters["rooms"] = f.count;
  state.counters["slots"] = f.FilledLevel0();
}
BENCHMARK(BM_DrawFullView)->Unit(benchmark::kMillisecond);

// {levels, width, height, zoom}
void BM_StepAndRedraw(benchmark::State& state) {
  const bool levels = state.range(0) != 0;
  MapFixture f(levels ? "towns-l" : "towns-f", Towns(50000, levels));
  f.View(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)), static_cast<int>(state.range(3)));
  f.client.ExecuteCommand("/set map._autograb=on", false);
  f.client.ExecuteCommand("/set map.exits=wnes", false);
  bool east = true;
  for (auto _ : state) {
    f.client.ExecuteCommand(east ? "/nav e" : "/nav w", false);
    f.Draw();
    benchmark::DoNotOptimize(f.image.constBits());
    east = !east;
  }
  if (f.client.map.CellList.Count() != f.count) state.SkipWithError("a step made a room");
  state.counters["rooms"] = f.count;
}
BENCHMARK(BM_StepAndRedraw)
    ->Args({1, 260, 400, 1})
    ->Args({0, 260, 400, 1})
    ->Args({1, 2000, 2000, MapViewState::kMinZoom})
    ->Args({0, 2000, 2000, MapViewState::kMinZoom})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnel

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
