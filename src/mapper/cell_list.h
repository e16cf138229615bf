// The rooms of a map, each under a text (the decimal id as the map file
// had it before "=").  Once sorted, the list keeps the text order that
// lookups and saving follow ("10" before "2", letter case aside) and new
// rooms go to their place in it; equal texts keep the order they came in,
// and a lookup finds the first of them.  The list owns its rooms.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mapper/map_cell.h"

namespace tarnel {

class TCellList {
 public:
  struct Entry {
    std::string text;
    std::unique_ptr<tmudcell> cell;
  };

  int Count() const { return static_cast<int>(entries_.size()); }
  bool Empty() const { return entries_.empty(); }
  const std::string& Text(int i) const { return entries_[static_cast<std::size_t>(i)].text; }
  tmudcell* Cell(int i) const { return entries_[static_cast<std::size_t>(i)].cell.get(); }
  const std::vector<Entry>& Entries() const { return entries_; }
  bool Sorted() const { return sorted_; }

  // Unsorted: at the end; sorted: after the last entry of an equal or
  // smaller text.  Returns the position.
  int Add(std::string text, std::unique_ptr<tmudcell> cell);
  // Many rooms at once, each where Add would put it.
  void AddAll(std::vector<Entry> more);
  // Switches to sorted order (stable) for good.
  void Sort();
  // Takes the room out of the list; the caller frees it.
  std::unique_ptr<tmudcell> Take(int i);
  void Clear();

  // Exact text; the first of equal texts.  -1 when absent.
  int IndexOf(std::string_view text) const;
  tmudcell* Find(std::string_view text) const;
  tmudcell* FindId(std::int64_t id) const;
  // Position of a room, -1 when it is not in the list (a scan).
  int IndexOfCell(const tmudcell* cell) const;

 private:
  std::vector<Entry> entries_;
  bool sorted_ = false;
};

// Text order of the list.
bool CellTextLess(std::string_view a, std::string_view b);
std::string IdText(std::int64_t id);

}  // namespace tarnel
