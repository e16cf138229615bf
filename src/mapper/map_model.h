// The map of one client: its rooms, the room the player is in, the grid the
// rooms are laid out on around that room, and what the map view shows of it.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "mapper/cell_list.h"
#include "mapper/map_cell.h"
#include "mapper/map_view_state.h"

namespace tarnel {

// 7 levels (z -3..3) of 201 x 201 slots (x and y -100..100) around the
// current room, which is always at (0, 0, 0).  A slot holds nothing, a room
// or the filler.  Clearing forgets only the slots filled since the last
// clear, so a move on a small map does not wipe two megabytes.
class TLayoutGrid {
 public:
  static constexpr int kLevels = 7;
  static constexpr int kSide = 201;
  static constexpr int kSize = kLevels * kSide * kSide;
  static constexpr int kCentre = 141403;
  static bool Inside(std::int64_t x, std::int64_t y, std::int64_t z) {
    return x >= -100 && x <= 100 && y >= -100 && y <= 100 && z >= -3 && z <= 3;
  }
  static int Index(int x, int y, int z) { return z * 40401 + x * 201 + y + kCentre; }

  TLayoutGrid() : slots_(kSize, nullptr) {}
  tmudcell* operator[](int index) const { return slots_[static_cast<std::size_t>(index)]; }
  tmudcell* At(int x, int y, int z) const { return (*this)[Index(x, y, z)]; }
  void Set(int index, tmudcell* cell) {
    tmudcell*& slot = slots_[static_cast<std::size_t>(index)];
    if (slot == nullptr && cell != nullptr) used_.push_back(index);
    slot = cell;
  }
  void Clear();
  // The slots filled since the last clear (some may be empty again).
  const std::vector<int>& FilledSlots() const { return used_; }

 private:
  std::vector<tmudcell*> slots_;
  std::vector<int> used_;
};

// What the room panel of the map view shows: the current room's fields and
// its transitions, one item per piece between ";".
struct RoomPanelData {
  bool has_room = false;
  std::int32_t id = 0;
  // In the panel's order: w, e, n, s, u, d.
  std::int32_t exits[kDirections] = {};
  char flag = 0;
  std::string name;
  std::string transitions;
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::vector<std::string> transition_items;
};

class MapModel {
 public:
  MapModel();
  MapModel(const MapModel&) = delete;
  MapModel& operator=(const MapModel&) = delete;

  TCellList CellList;
  std::int32_t LastId = 0;
  TLayoutGrid LayoutGrid;
  // Marks slots of wide rooms and of corridors; never part of a map.
  tmudcell FillerCell;
  // Source of the rooms' pass stamps.
  std::uint32_t pass = 0;
  MapViewState view;
  // Maps loaded whole since the start, so a caller can tell whether a load
  // it ran took effect.
  int loads = 0;

  // `CurrentCell`: the room the player is in, or none.  Kept as the room
  // itself, so rooms added or removed elsewhere never move the player.
  tmudcell* CurrentRoom() const { return current_; }
  void SetCurrent(tmudcell* cell) { current_ = cell; }
  // Its position in CellList, or -1.
  int CurrentCell() const { return current_ == nullptr ? -1 : CellList.IndexOfCell(current_); }

  // The room in a slot, the filler counting as empty.
  tmudcell* RoomAt(int x, int y, int z) const;
  tmudcell* Centre() const { return LayoutGrid[TLayoutGrid::kCentre]; }

  // Frees every room and empties the list (and the grid, which pointed to
  // them).  The list stays sorted if it was.
  void ClearRooms();
  // Takes the rooms out of the list, frees them, and clears whatever still
  // pointed at them: links (their exit values become 0, since the numbers
  // will be handed out anew), back references, the grid, the current room
  // and the room under the mouse.
  void FreeRooms(const std::unordered_set<const tmudcell*>& gone);
  // Clears every pointer from the rooms of CellList to these rooms.
  void ForgetRooms(const std::unordered_set<const tmudcell*>& gone);

  RoomPanelData RoomPanel() const;

  // Work space of the layout passes, kept between moves.
  std::vector<std::pair<tmudcell*, int>> stack;
  std::vector<tmudcell*> queue;
  std::vector<std::int32_t> distances;

 private:
  tmudcell* current_ = nullptr;
};

}  // namespace tarnel
