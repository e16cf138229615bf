// "/appendmap": another map file merged into the current map where a room
// of it bears the name of the room the player is in.

#include <climits>
#include <unordered_set>

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/words.h"
#include "mapper/map_commands.h"
#include "mapper/map_file.h"
#include "mapper/map_layout.h"
#include "mapper/map_merge.h"
#include "script/text_file.h"
#include "text/cp1251.h"
#include "text/paths.h"

namespace tarnel {

using namespace literals;

namespace {

constexpr std::int32_t kNotAdopted = 999;

// Steps 1 to 3 of merging b into a; false when the walk stops here.
bool MergeRoom(Client& c, tmudcell* a, tmudcell* b) {
  if (a == nullptr || b == nullptr) return false;
  if (a->name.empty()) a->name = b->name;
  if (a->name != b->name) {
    c.PrintText(std::string("\r\n** Несовпадение "_cp) + IdText(a->id) + ":" + a->name + " <-> " +
                IdText(b->id) + ":" + b->name);
    return false;
  }
  for (int k = 0; k < kDirections; ++k)
    if (a->links[k] == nullptr && b->links[k] != nullptr) a->links[k] = b->links[k];
  if (a->flag == ' ' || a->flag == 0) a->flag = b->flag;
  if (a->colour == 0) a->colour = b->colour;
  a->passStamp = b->passStamp = c.map.pass;
  return true;
}

}  // namespace

void Merge(Client& c, tmudcell* a, tmudcell* b) {
  MapModel& m = c.map;
  struct Frame {
    tmudcell* a;
    tmudcell* b;
    int k;
  };
  std::vector<Frame> stack;
  if (MergeRoom(c, a, b)) stack.push_back({a, b, 0});
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.k >= kDirections) {
      stack.pop_back();
      continue;
    }
    const int k = f.k++;
    tmudcell* p = f.a->links[k];
    if (p == nullptr || p->passStamp == m.pass) continue;
    tmudcell* next = f.b->links[k];
    if (p->appendMark == kNotAdopted) {
      // Without a number left it cannot join; the links to it go with it.
      if (m.LastId == INT32_MAX) continue;
      p->appendMark = 0;
      p->links[kOpposite[k]] = f.a;
      p->id = ++m.LastId;
    }
    if (MergeRoom(c, p, next)) stack.push_back({p, next, 0});  // invalidates f
  }
}

void MergeAtEntry(Client& c, tmudcell* a, tmudcell* b, TCellList& appended) {
  MapModel& m = c.map;
  ++m.pass;
  a->passStamp = b->passStamp = m.pass;
  Merge(c, a, b);
  // The adopted rooms move into the map under their new numbers.
  std::vector<TCellList::Entry> adopted;
  for (int i = appended.Count() - 1; i >= 0; --i) {
    if (appended.Cell(i)->appendMark == kNotAdopted) continue;
    std::unique_ptr<tmudcell> cell = appended.Take(i);
    std::string id = IdText(cell->id);
    adopted.push_back(TCellList::Entry{std::move(id), std::move(cell)});
  }
  m.CellList.AddAll(std::move(adopted));
  for (const auto& e : m.CellList.Entries())
    for (int k = 0; k < kDirections; ++k)
      if (e.cell->links[k] != nullptr) e.cell->exitIds[k] = e.cell->links[k]->id;
  CenterOnCurrentCell(c);
}

void CmdAppendMap(Client& c, const CommandCall& call) {
  if (call.params.empty()) {
    c.ParamError(call.word);
    return;
  }
  TCellList appended;
  if (!ReadMapFile(c, text::ExpandFileName(call.params), appended, true)) return;
  MapModel& m = c.map;
  // Linking the appended rooms must not move the player, hand out numbers
  // twice, or make old pass stamps of the map look new.
  const std::int32_t last_id = m.LastId;
  const std::uint32_t pass = m.pass;
  tmudcell* const current = m.CurrentRoom();
  LinkMap(c, appended, false);
  m.LastId = last_id;
  m.pass = pass;
  m.SetCurrent(current);
  for (const auto& e : appended.Entries()) e.cell->appendMark = kNotAdopted;

  tmudcell* centre = current != nullptr ? m.Centre() : nullptr;
  if (centre == &m.FillerCell) centre = nullptr;
  tmudcell* entry = nullptr;
  if (centre != nullptr) {
    for (const auto& e : appended.Entries()) {
      if (e.cell->name == centre->name) {
        entry = e.cell.get();
        break;
      }
    }
  }
  if (entry != nullptr) {
    c.Message(std::string("Точка вхождения: \""_cp) + entry->name + "\"");
    MergeAtEntry(c, centre, entry, appended);
  } else {
    c.Message("Точек вхождения не обнаружено."_cp);
  }
  // What was not adopted goes, and so does every link to it.
  std::unordered_set<const tmudcell*> gone;
  for (const auto& e : appended.Entries()) gone.insert(e.cell.get());
  m.ForgetRooms(gone);
  appended.Clear();
  CenterOnCurrentCell(c);
}

}  // namespace tarnel
