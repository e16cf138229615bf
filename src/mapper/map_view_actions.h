// What the mouse and the map panel's buttons do to the map: the room under
// the mouse, clicks that locate the player or walk to a room, recording on
// or off.  The view turns its events into these calls.
#pragma once

#include <optional>
#include <string>

namespace tarnel {

class Client;
class MapModel;
class tmudcell;

// The mouse at (x, y) over the picture.  Returns the new text of the room
// label: "[" id or distance "] " name; empty when the mouse is off the
// grid; nothing when the label keeps its text.
std::optional<std::string> HoverAt(MapModel& m, int x, int y, bool editor_visible);
// The mouse left the picture: no room is under it.
void HoverLeft(MapModel& m);

// The way from the current room to `target` along the layout's distances,
// as direction letters joined by ";"; empty when there is none (rooms
// flagged "D" or "d" are never walked through).
std::string WayTo(const MapModel& m, const tmudcell& target);

struct MapClick {
  bool shift = false;
  bool ctrl = false;
  // The exit field (a direction) that has the keyboard focus, or -1.
  int exit_field = -1;
};
struct MapClickResult {
  // Ctrl+Shift: the way, to be added to the command line.
  std::string append;
  // The id to write into the focused exit field.
  std::optional<int> exit_id;
};
// A click on the picture with the room under the mouse.
MapClickResult ClickMap(Client& c, const MapClick& click);

// The "REC" box and the map group's box clicked by the player.
void RecordingClicked(Client& c, bool on);
void MapGroupClicked(Client& c, bool on);

}  // namespace tarnel
