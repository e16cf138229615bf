// Walking the map with "/nav", recording rooms as the player goes, "/flag",
// and taking back the last recorded room.

#include <climits>

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/words.h"
#include "mapper/map_commands.h"
#include "mapper/map_layout.h"
#include "text/cp1251.h"
#include "text/numbers.h"

namespace tarnel {

using namespace literals;

namespace {

// The slot next to the centre in each direction.
constexpr int kStep[kDirections][3] = {{-1, 0, 0}, {0, -1, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, -1}};

tmudcell* NeighbourSlot(const MapModel& m, int k) { return m.RoomAt(kStep[k][0], kStep[k][1], kStep[k][2]); }

void Link(tmudcell& a, int k, tmudcell& b) {
  a.exitIds[k] = b.id;
  a.links[k] = &b;
}

// Exits that the room the player left and the rooms around it in the layout
// both leave open are joined: w, e, n, s, d, u.
void CloseGaps(MapModel& m) {
  tmudcell* a = m.Centre();
  if (a == nullptr || a == &m.FillerCell) return;
  for (const int k : {kWest, kEast, kNorth, kSouth, kDown, kUp}) {
    tmudcell* n = NeighbourSlot(m, k);
    if (n == nullptr) continue;
    const int o = kOpposite[k];
    if (a->links[k] == nullptr && (n->links[o] == nullptr || n->links[o] == a) && a->exitIds[k] == 0 &&
        (n->exitIds[o] == 0 || n->exitIds[o] == a->id)) {
      Link(*a, k, *n);
      Link(*n, o, *a);
    }
  }
}

// What the script read from the game goes into the room the player is in.
void ApplyRoomData(Client& c, tmudcell& r, const std::string& flat) {
  if (!flat.empty()) r.name = flat;
  const std::string flag = c.store.Var("map.flag");
  if (!flag.empty()) {
    r.flag = MapFlag(flag[0]);
    c.ExecuteCommand("/set map.flag=", false);
  }
  const std::string exits = c.store.Var("map.exits");
  if (!exits.empty()) {
    for (int k = 0; k < kDirections; ++k) {
      if (exits.find(kDirectionLetters[k]) != std::string::npos || r.exitIds[k] != 0) continue;
      r.exitIds[k] = -1;
      r.links[k] = nullptr;
    }
  }
  const std::string colour = c.store.Var("map.color");
  if (!colour.empty()) {
    const auto v = text::ReadInteger(colour);
    if (v && *v >= INT32_MIN && *v <= INT32_MAX) r.colour = static_cast<std::int32_t>(*v);
  }
}

}  // namespace

void Navigate(Client& c, char letter) {
  MapModel& m = c.map;
  tmudcell* from = m.CurrentRoom();
  if (from == nullptr || c.store.Var("map.located") != "1") return;
  const bool recording = c.store.VarOn("map._autograb");
  const std::string flat = MapRoomName(c.store.Var("map.flat"));
  auto fits = [&flat](const tmudcell* r) { return r != nullptr && (flat.empty() || r->name == flat); };

  if (letter != 'x') {
    const int k = DirectionOfLetter(letter);
    const int o = kOpposite[k];
    tmudcell* next = from->links[k];
    if (recording && !fits(next)) {
      if (next != nullptr) {
        next->exitIds[o] = 0;
        next->links[o] = nullptr;
      }
      tmudcell* g = NeighbourSlot(m, k);
      if (fits(g) && from->exitIds[k] >= 0) {
        Link(*from, k, *g);
        if (g->exitIds[o] == 0) Link(*g, o, *from);
        m.SetCurrent(g);
        g->backRefs[o] = from;
      } else {
        if (m.LastId == INT32_MAX) {
          c.Message("Ошибка: номера комнат карты исчерпаны."_cp);
          return;
        }
        auto room = std::make_unique<tmudcell>();
        tmudcell* r = room.get();
        r->id = ++m.LastId;
        Link(*from, k, *r);
        Link(*r, o, *from);
        m.CellList.Add(IdText(r->id), std::move(room));
        m.SetCurrent(r);
        r->backRefs[o] = from;
      }
    } else if (fits(next)) {
      m.SetCurrent(next);
      next->backRefs[o] = from;
    } else {
      // Lost: the position stays where it was until the player finds it.
      c.ExecuteCommand("/set map.located=0", false);
      return;
    }
  }
  if (recording) {
    CloseGaps(m);
    ApplyRoomData(c, *m.CurrentRoom(), flat);
  }
  CenterOnCurrentCell(c);
}

void CmdNavigate(Client& c, const CommandCall& call) {
  const std::string letter = Unquote(call.params);
  if (letter.size() != 1 || WordCount(call.params) != 1 ||
      std::string_view("wnesudx").find(letter[0]) == std::string_view::npos) {
    c.ParamError(call.word);
    return;
  }
  Navigate(c, letter[0]);
}

void CmdFlag(Client& c, const CommandCall& call) {
  c.ExecuteCommand("/set map.flag=" + std::string(call.params), false);
  c.ExecuteCommand("/nav x", false);
}

namespace {

// The room with the highest id whose decimal text is in the list, counting
// ids up to LastId + 1 (the first id found going down from there).
std::pair<tmudcell*, std::int32_t> HighestRoom(const MapModel& m) {
  const std::int64_t limit = static_cast<std::int64_t>(m.LastId) + 1;
  tmudcell* best = nullptr;
  std::int64_t best_id = 0;
  for (const auto& e : m.CellList.Entries()) {
    const std::string& t = e.text;
    if (t.empty() || t.size() > 11 || t[0] < '1' || t[0] > '9') continue;
    std::int64_t v = 0;
    bool digits = true;
    for (const char ch : t) {
      if (ch < '0' || ch > '9') {
        digits = false;
        break;
      }
      v = v * 10 + (ch - '0');
    }
    // The first of equal texts is the one a lookup finds.
    if (digits && v <= limit && v > best_id) {
      best = e.cell.get();
      best_id = v;
    }
  }
  return {best, static_cast<std::int32_t>(best_id)};
}

}  // namespace

void TakeBackLastRoom(Client& c) {
  MapModel& m = c.map;
  tmudcell* r = HighestRoom(m).first;
  if (r == nullptr) return;
  for (int k = 0; k < kDirections; ++k) {
    tmudcell* n = r->links[k];
    if (n == nullptr) continue;
    n->links[kOpposite[k]] = nullptr;
    n->exitIds[kOpposite[k]] = 0;
  }
  m.FreeRooms({r});
  const auto [top, top_id] = HighestRoom(m);
  m.LastId = top_id;
  m.SetCurrent(top);
  CenterOnCurrentCell(c);
}

}  // namespace tarnel
