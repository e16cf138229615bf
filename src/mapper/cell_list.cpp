#include "mapper/cell_list.h"

#include <algorithm>
#include <charconv>

#include "text/case_fold.h"

namespace tarnel {

bool CellTextLess(std::string_view a, std::string_view b) { return text::CompareText(a, b) < 0; }

std::string IdText(std::int64_t id) {
  char buf[24];
  const auto r = std::to_chars(buf, buf + sizeof buf, id);
  return std::string(buf, r.ptr);
}

namespace {

struct TextLess {
  bool operator()(const TCellList::Entry& e, std::string_view t) const { return CellTextLess(e.text, t); }
  bool operator()(std::string_view t, const TCellList::Entry& e) const { return CellTextLess(t, e.text); }
  bool operator()(const TCellList::Entry& a, const TCellList::Entry& b) const {
    return CellTextLess(a.text, b.text);
  }
};

}  // namespace

int TCellList::Add(std::string text, std::unique_ptr<tmudcell> cell) {
  if (!sorted_) {
    entries_.push_back(Entry{std::move(text), std::move(cell)});
    return Count() - 1;
  }
  const auto at = std::upper_bound(entries_.begin(), entries_.end(), std::string_view(text), TextLess{});
  const auto pos = at - entries_.begin();
  entries_.insert(at, Entry{std::move(text), std::move(cell)});
  return static_cast<int>(pos);
}

void TCellList::AddAll(std::vector<Entry> more) {
  if (!sorted_) {
    for (auto& e : more) entries_.push_back(std::move(e));
    return;
  }
  std::stable_sort(more.begin(), more.end(), TextLess{});
  const auto middle = static_cast<std::ptrdiff_t>(entries_.size());
  for (auto& e : more) entries_.push_back(std::move(e));
  // Equal texts: the old entries first, as one Add after another would.
  std::inplace_merge(entries_.begin(), entries_.begin() + middle, entries_.end(), TextLess{});
}

void TCellList::Sort() {
  if (!sorted_) std::stable_sort(entries_.begin(), entries_.end(), TextLess{});
  sorted_ = true;
}

std::unique_ptr<tmudcell> TCellList::Take(int i) {
  auto cell = std::move(entries_[static_cast<std::size_t>(i)].cell);
  entries_.erase(entries_.begin() + i);
  return cell;
}

void TCellList::Clear() { entries_.clear(); }

int TCellList::IndexOf(std::string_view text) const {
  if (!sorted_) {
    for (int i = 0; i < Count(); ++i)
      if (entries_[static_cast<std::size_t>(i)].text == text) return i;
    return -1;
  }
  // Equal in text order means equal letter case aside; the exact text is
  // among those.
  for (auto it = std::lower_bound(entries_.begin(), entries_.end(), text, TextLess{});
       it != entries_.end() && !CellTextLess(text, it->text); ++it)
    if (it->text == text) return static_cast<int>(it - entries_.begin());
  return -1;
}

tmudcell* TCellList::Find(std::string_view text) const {
  const int i = IndexOf(text);
  return i < 0 ? nullptr : Cell(i);
}

tmudcell* TCellList::FindId(std::int64_t id) const { return Find(IdText(id)); }

int TCellList::IndexOfCell(const tmudcell* cell) const {
  for (int i = 0; i < Count(); ++i)
    if (entries_[static_cast<std::size_t>(i)].cell.get() == cell) return i;
  return -1;
}

}  // namespace tarnel
