// The layout passes against their plain recursive form, on random maps and
// on maps deep enough to overflow the call stack.

#include <gtest/gtest.h>

#include <random>
#include <unordered_map>

#include "support/map_layout_reference.h"
#include "mapper/map_layout.h"

namespace tarnel::test {
namespace {

struct Shape {
  int rooms;
  int links;       // one-way links made at random
  bool vertical;   // ways up and down among them
  bool big_rooms;  // widths and heights other than 1
  bool spread;     // ids that make neighbours far apart
};

// A random map, the same for the same seed.
void RandomMap(MapModel& m, unsigned seed, const Shape& s) {
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  std::vector<tmudcell*> cells;
  for (int i = 0; i < s.rooms; ++i) {
    auto c = std::make_unique<tmudcell>();
    c->id = i + 1;
    if (s.big_rooms && pick(5) == 0) c->width = 1 + pick(4), c->height = 1 + pick(3);
    if (s.big_rooms && pick(40) == 0) c->width = 0;
    // Stale layout values from an earlier pass must not matter.
    c->distance = pick(7);
    c->homeLevel = pick(3) - 1;
    c->x = pick(5);
    cells.push_back(c.get());
    std::string text = IdText(c->id);
    m.CellList.Add(std::move(text), std::move(c));
  }
  const int directions = s.vertical ? kDirections : 4;
  for (int i = 0; i < s.links; ++i) {
    tmudcell* a = cells[static_cast<std::size_t>(pick(s.rooms))];
    // Mostly near neighbours, so that ways meet again.
    const int j = s.spread ? pick(s.rooms) : std::clamp(a->id - 1 + pick(9) - 4, 0, s.rooms - 1);
    tmudcell* b = cells[static_cast<std::size_t>(j)];
    const int k = pick(directions);
    a->links[k] = b;
    if (pick(3) != 0) b->links[kOpposite[k]] = a;
  }
  m.CellList.Sort();
  m.SetCurrent(cells[static_cast<std::size_t>(pick(s.rooms))]);
}

std::string Describe(const MapModel& m, int i) {
  const tmudcell& c = *m.CellList.Cell(i);
  return "room " + m.CellList.Text(i) + " at " + std::to_string(c.x) + "," + std::to_string(c.y) +
         "," + std::to_string(c.z) + " d" + std::to_string(c.distance) + " h" + std::to_string(c.homeLevel);
}

// Every layout field of every room, and every slot, the same.
void ExpectSameLayout(const MapModel& got, const MapModel& want, const std::string& what) {
  ASSERT_EQ(got.CellList.Count(), want.CellList.Count());
  for (int i = 0; i < got.CellList.Count(); ++i) {
    const tmudcell& a = *got.CellList.Cell(i);
    const tmudcell& b = *want.CellList.Cell(i);
    // The client may number its passes otherwise: what counts is which
    // pass reached a room last.
    auto reached = [](const tmudcell& c, const MapModel& in) {
      return c.passStamp == in.pass ? 2 : c.passStamp == in.pass - 1 ? 1 : 0;
    };
    ASSERT_EQ(reached(a, got), reached(b, want)) << what << " " << Describe(want, i);
    ASSERT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z && a.distance == b.distance && a.homeLevel == b.homeLevel)
        << what << " got " << Describe(got, i) << " want " << Describe(want, i);
    ASSERT_EQ(a.visitedMark, b.visitedMark) << what << " " << Describe(want, i);
    ASSERT_EQ(a.corridorMark, b.corridorMark) << what << " " << Describe(want, i);
    ASSERT_EQ(a.appendMark, b.appendMark) << what << " " << Describe(want, i);
  }
  ASSERT_EQ(got.FillerCell.corridorMark, want.FillerCell.corridorMark) << what;
  std::vector<int> slots = got.LayoutGrid.FilledSlots();
  slots.insert(slots.end(), want.LayoutGrid.FilledSlots().begin(), want.LayoutGrid.FilledSlots().end());
  for (const int s : slots) {
    const tmudcell* a = got.LayoutGrid[s];
    const tmudcell* b = want.LayoutGrid[s];
    const bool same = (a == nullptr && b == nullptr) || (a == &got.FillerCell && b == &want.FillerCell) ||
                      (a != nullptr && b != nullptr && a != &got.FillerCell && b != &want.FillerCell &&
                       a->id == b->id);
    ASSERT_TRUE(same) << what << " slot " << s;
  }
}

TEST(MapLayout, MatchesTheRecursiveFormOnRandomMaps) {
  const Shape shapes[] = {
      {12, 30, false, false, false},  // small, flat: the linear pass
      {40, 120, false, true, false},  // flat with large rooms
      {40, 120, true, false, false},  // levels
      {60, 200, true, true, false},   // everything
      {60, 150, true, true, true},    // far apart, off the grid
      {25, 100, true, false, true},
  };
  int seed = 1;
  // Two grids for all rounds: each is megabytes.
  auto got_model = std::make_unique<MapModel>();
  auto want_model = std::make_unique<MapModel>();
  MapModel& got = *got_model;
  MapModel& want = *want_model;
  for (const Shape& shape : shapes) {
    for (int round = 0; round < 150; ++round, ++seed) {
      got.ClearRooms();
      want.ClearRooms();
      RandomMap(got, static_cast<unsigned>(seed), shape);
      RandomMap(want, static_cast<unsigned>(seed), shape);
      // Twice: the second layout starts from what the first one left.
      for (int again = 0; again < 2; ++again) {
        LayoutAroundCurrent(got);
        ReferenceLayout(want);
        ExpectSameLayout(got, want, "seed " + std::to_string(seed));
        if (HasFatalFailure()) return;
        const int next = (seed * 7 + again) % got.CellList.Count();
        got.SetCurrent(got.CellList.Cell(next));
        want.SetCurrent(want.CellList.Cell(next));
      }
    }
  }
}

// Deep maps: the passes must not use a level of the call stack per room.
class DeepMap : public ::testing::Test {
 protected:
  tmudcell* Room(MapModel& m) {
    auto c = std::make_unique<tmudcell>();
    c->id = ++m.LastId;
    tmudcell* p = c.get();
    m.CellList.Add(IdText(p->id), std::move(c));
    return p;
  }
  static void Join(tmudcell* a, int k, tmudcell* b) {
    a->links[k] = b;
    b->links[kOpposite[k]] = a;
  }
};

TEST_F(DeepMap, CorridorOfAHundredThousandRooms) {
  MapModel m;
  std::vector<tmudcell*> rooms;
  for (int i = 0; i < 100000; ++i) rooms.push_back(Room(m));
  for (int i = 1; i < 100000; ++i) Join(rooms[i - 1], kEast, rooms[i]);
  // A stair at the far end makes it a map with levels (the full pass).
  tmudcell* top = Room(m);
  Join(rooms.back(), kUp, top);
  m.SetCurrent(rooms[0]);
  LayoutAroundCurrent(m);
  EXPECT_EQ(rooms.back()->distance, 99999);
  EXPECT_EQ(rooms.back()->x, 99999);
  EXPECT_EQ(top->z, 1);
  EXPECT_EQ(m.LayoutGrid.At(100, 0, 0), rooms[100]);
  EXPECT_EQ(m.LayoutGrid.At(-1, 0, 0), nullptr);
  // From the middle the corridor runs both ways.
  m.SetCurrent(rooms[50000]);
  LayoutAroundCurrent(m);
  EXPECT_EQ(rooms[0]->x, -50000);
  EXPECT_EQ(m.LayoutGrid.At(-100, 0, 0), rooms[49900]);
}

TEST_F(DeepMap, FullyLinkedGridOfAHundredThousandRooms) {
  MapModel m;
  constexpr int kSide = 317;
  std::vector<tmudcell*> rooms;
  for (int i = 0; i < kSide * kSide; ++i) rooms.push_back(Room(m));
  auto at = [&](int x, int y) { return rooms[static_cast<std::size_t>(y * kSide + x)]; };
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      if (x > 0) Join(at(x - 1, y), kEast, at(x, y));
      if (y > 0) Join(at(x, y - 1), kSouth, at(x, y));
    }
  m.SetCurrent(at(kSide / 2, kSide / 2));
  LayoutAroundCurrent(m);
  // Every room where the grid has it, at its shortest distance.
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const tmudcell* r = at(x, y);
      ASSERT_EQ(r->x, x - kSide / 2);
      ASSERT_EQ(r->y, y - kSide / 2);
      ASSERT_EQ(r->distance, std::abs(r->x) + std::abs(r->y));
    }
  EXPECT_EQ(m.LayoutGrid.At(100, -100, 0), at(kSide / 2 + 100, kSide / 2 - 100));
  EXPECT_EQ(m.LayoutGrid.At(0, 0, 1), nullptr);
}

// A corridor that winds out from the centre until it fills level 0, then
// goes up: placing and the corridor marks walk all of it.
TEST_F(DeepMap, SpiralFillingTheGrid) {
  MapModel m;
  std::vector<tmudcell*> path{Room(m)};
  int x = 0, y = 0;
  static constexpr int kDx[4] = {1, 0, -1, 0}, kDy[4] = {0, 1, 0, -1};
  static constexpr int kDir[4] = {kEast, kSouth, kWest, kNorth};
  for (int leg = 0, length = 1; path.size() < 201u * 201u; ++leg) {
    for (int i = 0; i < length && path.size() < 201u * 201u; ++i) {
      x += kDx[leg % 4];
      y += kDy[leg % 4];
      tmudcell* r = Room(m);
      Join(path.back(), kDir[leg % 4], r);
      path.push_back(r);
    }
    if (leg % 2 == 1) ++length;
  }
  tmudcell* top = Room(m);
  Join(path.back(), kUp, top);
  m.SetCurrent(path[0]);
  LayoutAroundCurrent(m);
  EXPECT_EQ(path.back()->distance, static_cast<int>(path.size()) - 1);
  EXPECT_EQ(path.back()->x, x);
  EXPECT_EQ(path.back()->y, y);
  int placed = 0;
  for (const tmudcell* r : path) placed += m.LayoutGrid.At(r->x, r->y, 0) == r;
  EXPECT_EQ(placed, 201 * 201);
  EXPECT_EQ(m.LayoutGrid.At(x, y, 1), top);
  EXPECT_TRUE(top->corridorMark == false);
}

// Towns strung along roads, a cellar under each: placing rooms again every
// time a shorter way turns up grows with the square of such a map.  A small
// one is laid out exactly as the recursion does it; a large one by the
// shortest ways, every room once, in bounded time.
class TownsWithCellars : public DeepMap {
 protected:
  // Returns the stair rooms and the cellar entries below them.
  std::vector<std::pair<tmudcell*, tmudcell*>> Build(MapModel& m, int towns) {
    std::vector<std::pair<tmudcell*, tmudcell*>> stairs;
    tmudcell* road_end = nullptr;
    for (int t = 0; t < towns; ++t) {
      auto grid = [&](int side) {
        std::vector<tmudcell*> g;
        for (int i = 0; i < side * side; ++i) g.push_back(Room(m));
        for (int y = 0; y < side; ++y)
          for (int x = 0; x < side; ++x) {
            if (x > 0) Join(g[y * side + x - 1], kEast, g[y * side + x]);
            if (y > 0) Join(g[(y - 1) * side + x], kSouth, g[y * side + x]);
          }
        return g;
      };
      std::vector<tmudcell*> streets = grid(12);
      std::vector<tmudcell*> cellar = grid(6);
      Join(streets[11 * 12 + 3], kDown, cellar[3]);
      stairs.emplace_back(streets[11 * 12 + 3], cellar[3]);
      if (road_end != nullptr) Join(road_end, kEast, streets[6 * 12]);
      if (t == 0) m.SetCurrent(streets[6 * 12 + 6]);
      road_end = streets[6 * 12 + 11];
      for (int i = 0; i < 60; ++i) {
        tmudcell* next = Room(m);
        Join(road_end, kEast, next);
        road_end = next;
      }
    }
    m.CellList.Sort();
    return stairs;
  }
};

TEST_F(TownsWithCellars, ASmallOneIsLaidOutAsTheRecursionDoesIt) {
  auto got = std::make_unique<MapModel>();
  auto want = std::make_unique<MapModel>();
  Build(*got, 2);
  Build(*want, 2);
  LayoutAroundCurrent(*got);
  ReferenceLayout(*want);
  ExpectSameLayout(*got, *want, "two towns");
}

TEST_F(TownsWithCellars, ALargeOneIsLaidOutByTheShortestWays) {
  auto model = std::make_unique<MapModel>();
  MapModel& m = *model;
  const auto stairs = Build(m, 40);
  // The recursion alone would need more placements than a layout may make.
  tmudcell* r = m.CurrentRoom();
  r->passStamp = ++m.pass;
  r->distance = r->x = r->y = r->z = r->homeLevel = 0;
  EXPECT_FALSE(LayoutPass(m, r));

  LayoutAroundCurrent(m);
  // Shortest distances, breadth first.
  std::unordered_map<const tmudcell*, int> dist{{r, 0}};
  std::vector<const tmudcell*> queue{r};
  for (std::size_t i = 0; i < queue.size(); ++i)
    for (const tmudcell* n : queue[i]->links)
      if (n != nullptr && dist.emplace(n, dist[queue[i]] + 1).second) queue.push_back(n);
  ASSERT_EQ(queue.size(), static_cast<std::size_t>(m.CellList.Count()));
  static constexpr int kDx[kDirections] = {-1, 0, 1, 0, 0, 0}, kDy[kDirections] = {0, -1, 0, 1, 0, 0};
  static constexpr int kDz[kDirections] = {0, 0, 0, 0, 1, -1};
  for (const tmudcell* c : queue) {
    ASSERT_EQ(c->distance, dist[c]);
    if (c == r) continue;
    // It stands next to a room one step nearer, as that room's exit says.
    bool beside = false;
    for (int k = 0; k < kDirections; ++k) {
      const tmudcell* p = c->links[kOpposite[k]];
      if (p != nullptr && dist[p] == dist[c] - 1 && p->x + kDx[k] == c->x && p->y + kDy[k] == c->y &&
          p->z + kDz[k] == c->z)
        beside = true;
    }
    ASSERT_TRUE(beside) << "room " << c->id;
  }
  // Cellars right below their stairs, so no corridor leads to them.
  for (const auto& [stair, below] : stairs) {
    EXPECT_EQ(below->x, stair->x);
    EXPECT_EQ(below->y, stair->y);
    EXPECT_EQ(below->z, -1);
    EXPECT_FALSE(below->corridorMark);
  }
  EXPECT_EQ(m.LayoutGrid.At(stairs[0].first->x, stairs[0].first->y, -1), stairs[0].second);
}

}  // namespace
}  // namespace tarnel::test
