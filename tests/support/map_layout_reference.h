// The map layout passes written as plain recursion, the way they read, for
// tests to compare the client's stack-based (and, on flat maps, linear)
// passes against.  Only for small maps: every room is a level of the call
// stack.
#pragma once

#include "mapper/map_layout.h"

namespace tarnel::test {

inline void ReferenceLayoutPass(MapModel& m, tmudcell* c) {
  c->visitedMark = c->corridorMark = false;
  c->appendMark = 0;
  const std::uint32_t pass = m.pass;
  for (int k = kWest; k <= kSouth; ++k) {
    tmudcell* n = c->links[k];
    if (n == nullptr) continue;
    if ((n->homeLevel != c->homeLevel && c->homeLevel == c->z) || c->distance + 1 < n->distance ||
        n->passStamp != pass) {
      if (c->distance < n->distance || n->passStamp != pass) n->distance = c->distance + 1;
      n->passStamp = pass;
      n->z = c->z;
      n->homeLevel = c->homeLevel;
      if (k == kWest) n->x = c->x - n->width, n->y = c->y;
      if (k == kNorth) n->x = c->x, n->y = c->y - n->height;
      if (k == kEast) n->x = c->x + c->width, n->y = c->y;
      if (k == kSouth) n->x = c->x, n->y = c->y + c->height;
      ReferenceLayoutPass(m, n);
    }
  }
  for (int k = kUp; k <= kDown; ++k) {
    tmudcell* n = c->links[k];
    if (n == nullptr) continue;
    if (c->distance + 1 < n->distance || n->passStamp != pass) {
      n->distance = c->distance + 1;
      n->passStamp = pass;
      n->z = k == kUp ? c->z + 1 : c->z - 1;
      n->x = c->x;
      n->y = c->y;
      n->homeLevel = c->z;
      const tmudcell* w = n->links[kWest];
      const tmudcell* a = n->links[kNorth];
      const tmudcell* e = n->links[kEast];
      const tmudcell* s = n->links[kSouth];
      if (w && w->passStamp == pass) n->x = w->x + w->width, n->y = w->y;
      if (a && a->passStamp == pass) n->x = a->x, n->y = a->y + a->height;
      if (e && e->passStamp == pass) n->x = e->x - n->width, n->y = e->y;
      if (s && s->passStamp == pass) n->x = s->x, n->y = s->y - n->height;
      ReferenceLayoutPass(m, n);
    }
  }
}

inline bool ReferenceInGrid(const tmudcell* c) {
  return c->x >= -100 && c->x <= 100 && c->y >= -100 && c->y <= 100 && c->z >= -3 && c->z <= 3;
}

inline void ReferencePlacePass(MapModel& m, tmudcell* c) {
  if (c == nullptr || c->passStamp == m.pass || !ReferenceInGrid(c)) return;
  c->passStamp = m.pass;
  const int at = TLayoutGrid::Index(c->x, c->y, c->z);
  const tmudcell* held = m.LayoutGrid[at];
  if (held == nullptr || held == &m.FillerCell || held->distance >= c->distance) m.LayoutGrid.Set(at, c);
  for (int x = c->x + 1; c->width > 1 && x <= c->x + c->width - 1 && x <= 100; ++x)
    if (m.LayoutGrid.At(x, c->y, c->z) == nullptr) m.LayoutGrid.Set(TLayoutGrid::Index(x, c->y, c->z), &m.FillerCell);
  for (int y = c->y + 1; c->height > 1 && y <= c->y + c->height - 1 && y <= 100; ++y)
    if (m.LayoutGrid.At(c->x, y, c->z) == nullptr) m.LayoutGrid.Set(TLayoutGrid::Index(c->x, y, c->z), &m.FillerCell);
  for (tmudcell* n : c->links) ReferencePlacePass(m, n);
}

inline void ReferenceCorridorPass(MapModel& m, tmudcell* c) {
  if (c == nullptr || c->visitedMark || !ReferenceInGrid(c)) return;
  c->visitedMark = true;
  for (tmudcell* n : c->links) ReferenceCorridorPass(m, n);
  const tmudcell* t = c->z < 0 ? c->links[kUp] : c->z > 0 ? c->links[kDown] : nullptr;
  if (t == nullptr || (t->x == c->x && t->y == c->y)) return;
  c->corridorMark = true;
  int x = c->x, y = c->y;
  while ((x != t->x || y != t->y)) {
    int nx = x, ny = y;
    if (y != t->y)
      ny += t->y > y ? 1 : -1;
    else
      nx += t->x > x ? 1 : -1;
    if (nx < -100 || nx > 100 || ny < -100 || ny > 100) break;
    x = nx, y = ny;
    const int i = TLayoutGrid::Index(x, y, c->z);
    if (m.LayoutGrid[i] == nullptr) m.LayoutGrid.Set(i, &m.FillerCell);
    m.LayoutGrid[i]->corridorMark = true;
  }
}

inline void ReferenceLayout(MapModel& m) {
  m.LayoutGrid.Clear();
  tmudcell* r = m.CurrentRoom();
  if (r == nullptr) return;
  m.LayoutGrid.Set(TLayoutGrid::kCentre, r);
  r->distance = 0;
  r->passStamp = ++m.pass;
  r->homeLevel = r->x = r->y = r->z = 0;
  r->visitedMark = false;
  ReferenceLayoutPass(m, r);
  ++m.pass;
  ReferencePlacePass(m, r);
  ReferenceCorridorPass(m, r);
}

}  // namespace tarnel::test
