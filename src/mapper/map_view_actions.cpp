#include "mapper/map_view_actions.h"

#include <deque>

#include "interp/client.h"
#include "mapper/cell_list.h"
#include "mapper/map_layout.h"

namespace tarnel {

std::optional<std::string> HoverAt(MapModel& m, int x, int y, bool editor_visible) {
  const MapViewState& v = m.view;
  if (v.square_width <= 0 || v.square_height <= 0 || x < 0 || y < 0) return std::string();
  const int row = v.row_origin + y / v.square_height;
  const int column = v.column_origin + x / v.square_width;
  if (row < -99 || row > 99 || column < -99 || column > 99) {
    // Off the grid no room is under the mouse, so a click there does
    // nothing.
    m.view.hovered = nullptr;
    return std::string();
  }
  tmudcell* r = m.RoomAt(column, row, std::clamp(v.level, -3, 3));
  if (r == nullptr) return std::nullopt;
  m.view.hovered = r;
  if (r->name.empty()) return std::nullopt;
  return "[" + IdText(editor_visible ? r->id : r->distance) + "] " + r->name;
}

void HoverLeft(MapModel& m) { m.view.hovered = nullptr; }

std::string WayTo(const MapModel& m, const tmudcell& target) {
  const tmudcell* current = m.CurrentRoom();
  std::deque<std::string> pieces;
  const tmudcell* t = &target;
  for (int step = 0; step < target.distance && t != current; ++step) {
    const tmudcell* from = nullptr;
    int k = 0;
    for (; k < kDirections; ++k) {
      const tmudcell* n = t->links[k];
      if (n != nullptr && n->flag != 'D' && n->flag != 'd' && n->distance < t->distance) {
        from = n;
        break;
      }
    }
    if (from == nullptr) {
      pieces.emplace_front();
      continue;
    }
    // The step from the neighbour to t goes the other way.
    pieces.emplace_front(1, kDirectionLetters[kOpposite[k]]);
    t = from;
  }
  std::string way;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) way += ';';
    way += pieces[i];
  }
  if (way.find(";;") != std::string::npos || (!way.empty() && way[0] == ';')) return {};
  return way;
}

MapClickResult ClickMap(Client& c, const MapClick& click) {
  MapClickResult result;
  MapModel& m = c.map;
  tmudcell* room = m.view.hovered;
  if (room == nullptr) return result;
  if (click.shift) {
    const std::string way = WayTo(m, *room);
    if (way.empty()) return result;
    if (click.ctrl)
      result.append = way + ";";
    else
      c.ExecuteCommand(way, true);
    return result;
  }
  if (room == m.CurrentRoom())
    c.ExecuteCommand("/if (%map.located=0) {/set map.located=1} else {/set map.located=0}", false);
  else
    c.ExecuteCommand("/set map.located=1", false);
  c.ExecuteCommand("/set map.flat=;/set map.exits=;/set map.path=;/set map.navigate=;/set map.elapsed=0",
                   false);
  // The command may have changed the map: only a room still in it counts.
  if (m.CellList.IndexOfCell(room) < 0) return result;
  if (click.exit_field >= 0)
    result.exit_id = room->id;
  else
    m.SetCurrent(room);
  CenterOnCurrentCell(c);
  return result;
}

void RecordingClicked(Client& c, bool on) {
  c.ExecuteCommand(on ? "/set map._autograb=on;/set map.located=1" : "/set map._autograb=off", false);
  c.host.RedrawMap();
}

void MapGroupClicked(Client& c, bool on) {
  c.ExecuteCommand(on ? "/set group map=on" : "/set group map=off", false);
  c.RefreshPanels();
}

}  // namespace tarnel
