#include "mapper/map_layout.h"

#include "interp/client.h"

namespace tarnel {

namespace {

// Positions add as 32-bit numbers that wrap, as a map file's widths allow
// any value.
std::int32_t Plus(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
std::int32_t Minus(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

bool InGrid(const tmudcell& c) { return TLayoutGrid::Inside(c.x, c.y, c.z); }

// A room reached west, north, east or south of c: on c's level, beside it.
void PlaceBeside(tmudcell& n, const tmudcell& c, int dir) {
  n.z = c.z;
  n.homeLevel = c.homeLevel;
  switch (dir) {
    case kWest: n.x = Minus(c.x, n.width), n.y = c.y; break;
    case kNorth: n.x = c.x, n.y = Minus(c.y, n.height); break;
    case kEast: n.x = Plus(c.x, c.width), n.y = c.y; break;
    default: n.x = c.x, n.y = Plus(c.y, c.height); break;
  }
}

void EnterLayout(std::vector<std::pair<tmudcell*, int>>& stack, tmudcell* c) {
  c->visitedMark = false;
  c->corridorMark = false;
  c->appendMark = 0;
  stack.emplace_back(c, 0);
}

// A room reached up or down stands in line with its own neighbours on the
// new level that this pass has reached, the later rule winning.
void AlignToReachedNeighbours(tmudcell& n, std::uint32_t pass) {
  if (const tmudcell* w = n.links[kWest]; w != nullptr && w->passStamp == pass)
    n.x = Plus(w->x, w->width), n.y = w->y;
  if (const tmudcell* a = n.links[kNorth]; a != nullptr && a->passStamp == pass)
    n.x = a->x, n.y = Plus(a->y, a->height);
  if (const tmudcell* e = n.links[kEast]; e != nullptr && e->passStamp == pass)
    n.x = Minus(e->x, n.width), n.y = e->y;
  if (const tmudcell* s = n.links[kSouth]; s != nullptr && s->passStamp == pass)
    n.x = s->x, n.y = Minus(s->y, n.height);
}

}  // namespace

bool LayoutPass(MapModel& m, tmudcell* start, long budget) {
  auto& stack = m.stack;
  stack.clear();
  EnterLayout(stack, start);
  const std::uint32_t pass = m.pass;
  while (!stack.empty()) {
    auto& [C, k] = stack.back();
    if (k >= kDirections) {
      stack.pop_back();
      continue;
    }
    const int dir = k++;
    tmudcell* N = C->links[dir];
    if (N == nullptr) continue;
    tmudcell& c = *C;
    tmudcell& n = *N;
    if (dir < kUp) {
      if (!((n.homeLevel != c.homeLevel && c.homeLevel == c.z) ||
            static_cast<std::int64_t>(c.distance) + 1 < n.distance || n.passStamp != pass))
        continue;
      if (c.distance < n.distance || n.passStamp != pass) n.distance = c.distance + 1;
      n.passStamp = pass;
      PlaceBeside(n, c, dir);
    } else {
      if (!(static_cast<std::int64_t>(c.distance) + 1 < n.distance || n.passStamp != pass)) continue;
      n.distance = c.distance + 1;
      n.passStamp = pass;
      n.z = dir == kUp ? Plus(c.z, 1) : Minus(c.z, 1);
      n.x = c.x;
      n.y = c.y;
      n.homeLevel = c.z;
      AlignToReachedNeighbours(n, pass);
    }
    if (--budget < 0) return false;
    EnterLayout(stack, N);  // invalidates C and k, which are done with
  }
  return true;
}

void PlacePass(MapModel& m, tmudcell* start) {
  const std::uint32_t pass = m.pass;
  TLayoutGrid& grid = m.LayoutGrid;
  tmudcell* const filler = &m.FillerCell;
  auto visit = [&](tmudcell* c) {
    if (c == nullptr || c->passStamp == pass || !InGrid(*c)) return false;
    c->passStamp = pass;
    const int at = TLayoutGrid::Index(c->x, c->y, c->z);
    const tmudcell* held = grid[at];
    if (held == nullptr || held == filler || held->distance >= c->distance) grid.Set(at, c);
    // Only the first row and the first column of a large room are marked.
    if (c->width > 1) {
      const std::int64_t last = std::min<std::int64_t>(static_cast<std::int64_t>(c->x) + c->width - 1, 100);
      for (std::int64_t x = c->x + 1; x <= last; ++x) {
        const int i = TLayoutGrid::Index(static_cast<int>(x), c->y, c->z);
        if (grid[i] == nullptr) grid.Set(i, filler);
      }
    }
    if (c->height > 1) {
      const std::int64_t last = std::min<std::int64_t>(static_cast<std::int64_t>(c->y) + c->height - 1, 100);
      for (std::int64_t y = c->y + 1; y <= last; ++y) {
        const int i = TLayoutGrid::Index(c->x, static_cast<int>(y), c->z);
        if (grid[i] == nullptr) grid.Set(i, filler);
      }
    }
    return true;
  };
  auto& stack = m.stack;
  stack.clear();
  if (visit(start)) stack.emplace_back(start, 0);
  while (!stack.empty()) {
    auto& [C, k] = stack.back();
    if (k >= kDirections) {
      stack.pop_back();
      continue;
    }
    tmudcell* N = C->links[k++];
    if (visit(N)) stack.emplace_back(N, 0);
  }
}

namespace {

// The corridor from a room off level 0 towards the room above or below it,
// drawn on the room's own level: rows first, then columns.
void DrawCorridor(MapModel& m, tmudcell& c) {
  const tmudcell* t = c.z < 0 ? c.links[kUp] : c.z > 0 ? c.links[kDown] : nullptr;
  if (t == nullptr || (t->x == c.x && t->y == c.y)) return;
  c.corridorMark = true;
  int x = c.x, y = c.y;
  while (x != t->x || y != t->y) {
    int nx = x, ny = y;
    if (y != t->y)
      ny += t->y > y ? 1 : -1;
    else
      nx += t->x > x ? 1 : -1;
    if (!TLayoutGrid::Inside(nx, ny, c.z)) break;
    x = nx;
    y = ny;
    const int i = TLayoutGrid::Index(x, y, c.z);
    if (m.LayoutGrid[i] == nullptr) m.LayoutGrid.Set(i, &m.FillerCell);
    m.LayoutGrid[i]->corridorMark = true;
  }
}

}  // namespace

void CorridorPass(MapModel& m, tmudcell* start) {
  auto visit = [](tmudcell* c) {
    if (c == nullptr || c->visitedMark || !InGrid(*c)) return false;
    c->visitedMark = true;
    return true;
  };
  auto& stack = m.stack;
  stack.clear();
  if (visit(start)) stack.emplace_back(start, 0);
  while (!stack.empty()) {
    auto& [C, k] = stack.back();
    if (k < kDirections) {
      tmudcell* N = C->links[k++];
      if (visit(N)) stack.emplace_back(N, 0);
      continue;
    }
    tmudcell* done = C;
    stack.pop_back();
    DrawCorridor(m, *done);
  }
}

namespace {

// Shortest distances from r over the links, breadth first, into `distance`,
// the rooms reached stamped with a pass of their own.  True when none of
// them has a way up or down.
bool ScanFlat(MapModel& m, tmudcell* r) {
  const std::uint32_t scan = ++m.pass;
  std::vector<tmudcell*>& queue = m.queue;
  queue.clear();
  r->passStamp = scan;
  r->distance = 0;
  queue.push_back(r);
  bool flat = true;
  for (std::size_t i = 0; i < queue.size(); ++i) {
    tmudcell* c = queue[i];
    if (c->links[kUp] != nullptr || c->links[kDown] != nullptr) flat = false;
    for (int k = 0; k < kDirections; ++k) {
      tmudcell* n = c->links[k];
      if (n == nullptr || n->passStamp == scan) continue;
      n->passStamp = scan;
      n->distance = c->distance + 1;
      queue.push_back(n);
    }
  }
  return flat;
}

// The layout over the shortest ways alone, in linear time: every room is
// placed once, by the first room to reach it at its shortest distance, in
// the order of a depth-first walk over those ways.  On a map without ways
// up or down this is exactly what LayoutPass ends with: there a room ends
// where the first room to reach it at its shortest distance put it (a later
// one would need a shorter way still), and every other placement is undone
// later.  With levels LayoutPass also keeps traces of the placements it
// undoes (a room below aligns to where its neighbours stood before), which
// this walk leaves out.  `distance` holds the shortest distances.
void ShortestWayLayoutPass(MapModel& m, tmudcell* start) {
  auto& stack = m.stack;
  stack.clear();
  EnterLayout(stack, start);
  const std::uint32_t pass = m.pass;
  while (!stack.empty()) {
    auto& [C, k] = stack.back();
    if (k >= kDirections) {
      stack.pop_back();
      continue;
    }
    const int dir = k++;
    tmudcell* N = C->links[dir];
    if (N == nullptr || N->passStamp == pass || N->distance != C->distance + 1) continue;
    tmudcell& c = *C;
    tmudcell& n = *N;
    n.passStamp = pass;
    if (dir < kUp) {
      PlaceBeside(n, c, dir);
    } else {
      n.z = dir == kUp ? Plus(c.z, 1) : Minus(c.z, 1);
      n.x = c.x;
      n.y = c.y;
      n.homeLevel = c.z;
      AlignToReachedNeighbours(n, pass);
    }
    EnterLayout(stack, N);
  }
}

}  // namespace

void LayoutAroundCurrent(MapModel& m) {
  m.LayoutGrid.Clear();
  tmudcell* r = m.CurrentRoom();
  if (r == nullptr) return;
  const bool flat = ScanFlat(m, r);
  auto place_centre = [&] {
    r->distance = 0;
    r->passStamp = ++m.pass;
    r->homeLevel = r->x = r->y = r->z = 0;
    r->visitedMark = false;
  };
  m.LayoutGrid.Set(TLayoutGrid::kCentre, r);
  if (flat) {
    place_centre();
    ShortestWayLayoutPass(m, r);
  } else {
    // The shortest distances, kept in case the exact pass gives up.
    std::vector<std::int32_t>& kept = m.distances;
    kept.clear();
    for (const tmudcell* c : m.queue) kept.push_back(c->distance);
    place_centre();
    if (!LayoutPass(m, r, kLayoutBudget)) {
      // Placing and placing again would hold the window up for long: the
      // shortest ways alone decide.
      for (std::size_t i = 0; i < kept.size(); ++i) m.queue[i]->distance = kept[i];
      place_centre();
      ShortestWayLayoutPass(m, r);
    }
  }
  ++m.pass;
  PlacePass(m, r);
  CorridorPass(m, r);
}

void CenterOnCurrentCell(Client& c) {
  MapModel& m = c.map;
  LayoutAroundCurrent(m);
  if (m.CurrentRoom() == nullptr) return;
  m.view.Centre();
  m.view.hovered = nullptr;
  c.host.FillMapRoomPanel();
  c.host.RedrawMap();
}

}  // namespace tarnel
