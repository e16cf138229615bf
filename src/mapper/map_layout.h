// Laying the map out around the current room.  The three passes walk the
// rooms depth first in the order w, n, e, s, u, d; the order decides where a
// room that several ways lead to ends up, so it is kept exactly.  They use
// a stack of their own rather than the call stack: a corridor of a hundred
// thousand rooms is as deep as it is long.
#pragma once

#include "mapper/map_model.h"

namespace tarnel {

class Client;

// Placements one layout may make before the shortest ways alone decide:
// some half a millisecond of work.
inline constexpr long kLayoutBudget = 60000;

// Places every room reachable from c (already placed) relative to it,
// placing a room again whenever a shorter way to it turns up.  On maps with
// levels that can take a time that grows with the square of the map, so it
// gives up (false) after `budget` placements.
bool LayoutPass(MapModel& m, tmudcell* c, long budget = kLayoutBudget);
// Puts the rooms into the grid, the nearer one winning a slot.
void PlacePass(MapModel& m, tmudcell* c);
// Marks the corridors that lead from a room off level 0 to the room above
// or below it when that one stands elsewhere.
void CorridorPass(MapModel& m, tmudcell* c);
// The whole layout around the current room, without telling the view.
void LayoutAroundCurrent(MapModel& m);

// The layout, then the view centred, its room panel filled and redrawn.
void CenterOnCurrentCell(Client& c);

}  // namespace tarnel
