#include "mapper/room_editor.h"

#include <climits>
#include <string>

#include "interp/client.h"
#include "interp/words.h"
#include "mapper/cell_list.h"
#include "mapper/map_layout.h"
#include "text/numbers.h"

namespace tarnel {

namespace {

tmudcell* EditedRoom(Client& c) {
  tmudcell* r = c.map.Centre();
  return r == &c.map.FillerCell ? nullptr : r;
}

std::optional<std::int32_t> Int32(std::string_view text) {
  const auto v = text::ReadInteger(text);
  if (!v || *v < INT32_MIN || *v > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(*v);
}

}  // namespace

bool ApplyRoomExit(Client& c, int k, std::string_view text) {
  tmudcell* r = EditedRoom(c);
  if (r == nullptr || k < 0 || k >= kDirections) return false;
  const std::string value = TrimRightBlanks(text);
  tmudcell* target = c.map.CellList.Find(value);
  if (target == nullptr && value != "0" && value != "-1") return false;
  const auto id = Int32(value);
  if (!id) return false;
  r->exitIds[k] = *id;
  if (tmudcell* old = r->links[k]) {
    old->links[kOpposite[k]] = nullptr;
    old->exitIds[kOpposite[k]] = 0;
  }
  r->links[k] = target;
  CenterOnCurrentCell(c);
  return true;
}

void ApplyRoomName(Client& c, std::string_view text) {
  if (tmudcell* r = EditedRoom(c)) r->name = MapRoomName(text);
  CenterOnCurrentCell(c);
}

void ApplyRoomTransitions(Client& c, std::string_view text) {
  // A line break would split the saved line.
  if (tmudcell* r = EditedRoom(c)) {
    r->transitions.assign(text);
    for (char& ch : r->transitions)
      if (ch == '\r' || ch == '\n') ch = ' ';
  }
  CenterOnCurrentCell(c);
}

void ApplyRoomSize(Client& c, bool width, std::string_view text) {
  tmudcell* r = EditedRoom(c);
  const auto v = Int32(text);
  if (r != nullptr && v) (width ? r->width : r->height) = *v == 0 ? 1 : *v;
  CenterOnCurrentCell(c);
}

void ApplyRoomFlag(Client& c, std::string_view text) {
  if (tmudcell* r = EditedRoom(c)) r->flag = text.empty() ? 0 : MapFlag(text[0]);
  c.host.RedrawMap();
}

void ApplyRoomColour(Client& c, std::int32_t colour) {
  if (tmudcell* r = EditedRoom(c)) r->colour = colour;
  c.host.RedrawMap();
}

void RunTransition(Client& c, std::string_view entry) {
  const auto colon = entry.find(':');
  std::string commands(colon == std::string_view::npos ? entry : entry.substr(colon + 1));
  for (char& ch : commands)
    if (ch == ',') ch = ';';
  c.ExecuteCommand(commands, true);
  std::string_view target = entry.substr(0, colon);
  const auto at = target.find('@');
  if (at != std::string_view::npos) {
    std::string file(target.substr(0, at));
    const std::string folder = c.store.Var("map._directory");
    if (!folder.empty()) file = folder + "\\" + file;
    c.ExecuteCommand("/loadmap \"" + file + ".tmm\"", false);
    target = target.substr(at + 1);
  }
  const auto id = Int32(target);
  if (!id || *id == 0) return;
  MapModel& m = c.map;
  if (tmudcell* r = m.CellList.FindId(*id)) {
    m.SetCurrent(r);
    CenterOnCurrentCell(c);
  }
}

}  // namespace tarnel
