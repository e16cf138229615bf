// The generated maps of the map benchmarks: towns of 12 x 12 streets with a
// wide hall, a dungeon of 8 x 8 caves below each (beside it when flat), and
// roads of 150 rooms between the towns.
#pragma once

#include <memory>
#include <vector>

#include "mapper/map_cell.h"

namespace tarnel::bench {

struct Generated {
  std::vector<std::unique_ptr<tmudcell>> rooms;
  tmudcell* start = nullptr;
};

inline tmudcell* NewRoom(Generated& g, const char* name) {
  auto c = std::make_unique<tmudcell>();
  c->id = static_cast<std::int32_t>(g.rooms.size()) + 1;
  c->name = name;
  g.rooms.push_back(std::move(c));
  return g.rooms.back().get();
}

inline void Join(tmudcell* a, int k, tmudcell* b) {
  a->links[k] = b;
  a->exitIds[k] = b->id;
  b->links[kOpposite[k]] = a;
  b->exitIds[kOpposite[k]] = a->id;
}

// A side x side grid of streets, row by row.
inline std::vector<tmudcell*> StreetGrid(Generated& g, int side, const char* name) {
  std::vector<tmudcell*> cells;
  for (int i = 0; i < side * side; ++i) cells.push_back(NewRoom(g, name));
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      if (x > 0) Join(cells[static_cast<std::size_t>(y * side + x - 1)], kEast, cells[static_cast<std::size_t>(y * side + x)]);
      if (y > 0) Join(cells[static_cast<std::size_t>((y - 1) * side + x)], kSouth, cells[static_cast<std::size_t>(y * side + x)]);
    }
  return cells;
}

inline Generated Towns(int total, bool levels) {
  Generated g;
  tmudcell* road_end = nullptr;
  int town = 0;
  while (static_cast<int>(g.rooms.size()) < total) {
    std::vector<tmudcell*> streets = StreetGrid(g, 12, "Street");
    streets[5 * 12 + 5]->width = 2;
    streets[5 * 12 + 5]->name = "Hall";
    std::vector<tmudcell*> dungeon = StreetGrid(g, 8, "Cave");
    Join(streets[11 * 12 + 3], levels ? kDown : kSouth, dungeon[3]);
    if (road_end != nullptr) Join(road_end, kEast, streets[6 * 12]);
    if (town == 0) g.start = streets[6 * 12 + 6];
    tmudcell* road = streets[6 * 12 + 11];
    for (int i = 0; i < 150; ++i) {
      tmudcell* next = NewRoom(g, "Road");
      Join(road, kEast, next);
      road = next;
    }
    road_end = road;
    ++town;
  }
  return g;
}

}  // namespace tarnel::bench
