#include "mapper/map_model.h"

#include <algorithm>

namespace tarnel {

void TLayoutGrid::Clear() {
  // Past a quarter of the grid one sweep is cheaper than the list.
  if (used_.size() > slots_.size() / 4) {
    std::fill(slots_.begin(), slots_.end(), nullptr);
  } else {
    for (const int i : used_) slots_[static_cast<std::size_t>(i)] = nullptr;
  }
  used_.clear();
}

MapModel::MapModel() = default;

tmudcell* MapModel::RoomAt(int x, int y, int z) const {
  if (!TLayoutGrid::Inside(x, y, z)) return nullptr;
  tmudcell* c = LayoutGrid.At(x, y, z);
  return c == &FillerCell ? nullptr : c;
}

void MapModel::ClearRooms() {
  LayoutGrid.Clear();
  current_ = nullptr;
  view.hovered = nullptr;
  CellList.Clear();
}

void MapModel::ForgetRooms(const std::unordered_set<const tmudcell*>& gone) {
  if (gone.empty()) return;
  for (const auto& e : CellList.Entries()) {
    tmudcell& c = *e.cell;
    for (int k = 0; k < kDirections; ++k) {
      if (c.links[k] != nullptr && gone.count(c.links[k]) != 0) {
        c.links[k] = nullptr;
        c.exitIds[k] = 0;
      }
      if (c.backRefs[k] != nullptr && gone.count(c.backRefs[k]) != 0) c.backRefs[k] = nullptr;
    }
  }
  LayoutGrid.Clear();
  if (gone.count(current_) != 0) current_ = nullptr;
  if (gone.count(view.hovered) != 0) view.hovered = nullptr;
}

void MapModel::FreeRooms(const std::unordered_set<const tmudcell*>& gone) {
  if (gone.empty()) return;
  std::vector<std::unique_ptr<tmudcell>> freed;
  for (int i = CellList.Count() - 1; i >= 0; --i)
    if (gone.count(CellList.Cell(i)) != 0) freed.push_back(CellList.Take(i));
  ForgetRooms(gone);
}

RoomPanelData MapModel::RoomPanel() const {
  RoomPanelData p;
  const tmudcell* r = Centre();
  if (r == nullptr || r == &FillerCell) return p;
  p.has_room = true;
  p.id = r->id;
  static constexpr int kPanelOrder[kDirections] = {kWest, kEast, kNorth, kSouth, kUp, kDown};
  for (int i = 0; i < kDirections; ++i) p.exits[i] = r->exitIds[kPanelOrder[i]];
  p.flag = r->flag;
  p.name = r->name;
  p.transitions = r->transitions;
  p.width = r->width;
  p.height = r->height;
  std::size_t from = 0;
  while (from <= r->transitions.size()) {
    const auto semi = r->transitions.find(';', from);
    const auto end = semi == std::string::npos ? r->transitions.size() : semi;
    if (end > from) p.transition_items.push_back(r->transitions.substr(from, end - from));
    from = end + 1;
  }
  return p;
}

}  // namespace tarnel
