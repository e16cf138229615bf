// "/newmap", "/loadmap", "/savemap" and the linking of a loaded map.

#include "mapper/map_commands.h"

#include <algorithm>

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/words.h"
#include "mapper/map_file.h"
#include "mapper/map_layout.h"
#include "script/text_file.h"
#include "text/cp1251.h"
#include "text/paths.h"

namespace tarnel {

using namespace literals;

namespace {

constexpr std::string_view kMapFilter = "Карты (*.tmm)|*.tmm|Все файлы|*.*"_cp;

// The file a command names, or one the player picks in the map folder;
// empty when the player cancelled or could not be asked (then the
// parameter error is shown).
std::string MapFileParameter(Client& c, const CommandCall& call, bool save, std::string name) {
  if (!name.empty()) return name;
  if (!c.host.CanAskFiles()) {
    c.ParamError(call.word);
    return {};
  }
  TStringList& vars = c.store.Variables();
  const int dir = vars.IndexOfName("map._directory");
  const std::string folder = dir >= 0 ? std::string(vars.ValueAt(dir)) : std::string();
  return c.host.AskMapFileName(save, kMapFilter, folder);
}

// map._file takes the path as it is, whatever it holds, when the variable
// exists.
void RecordMapFile(Client& c, const std::string& path) {
  TStringList& vars = c.store.Variables();
  const int i = vars.IndexOfName("map._file");
  if (i >= 0) vars.Put(i, "map._file=" + path);
}

}  // namespace

void MapReadError(Client& c, std::string_view full_path) {
  c.Message(std::string("Ошибка чтения файла "_cp) + std::string(full_path) + ".");
}

bool ReadMapFile(Client& c, const std::string& full_path, TCellList& into, bool by_id) {
  std::string content;
  if (!ReadWholeFile(full_path, content)) {
    MapReadError(c, full_path);
    return false;
  }
  for (const std::string& line : SplitTextLines(content)) {
    if (UnquoteView(line).empty()) continue;
    std::unique_ptr<tmudcell> cell = ParseCellLine(line);
    if (!cell) {
      MapReadError(c, full_path);
      return false;
    }
    std::string text = by_id ? IdText(cell->id) : CellEntryText(line);
    into.Add(std::move(text), std::move(cell));
  }
  return true;
}

void LinkMap(Client& c, TCellList& list, bool make_current) {
  MapModel& m = c.map;
  list.Sort();
  const int last = list.Count() - 1;
  c.host.MapProgress(0, last);
  m.pass = 0;
  c.interp.RaiseDepth();
  c.ExecuteCommand(
      "/set map.located=0;/set map.flat=;/set map.exits=;/set map.path=;/set map.navigate=;"
      "/set map.elapsed=0",
      false);
  c.interp.LowerDepth();
  if (make_current) m.SetCurrent(list.Empty() ? nullptr : list.Cell(0));
  m.LastId = 0;
  for (int i = 0; i < list.Count(); ++i) {
    if (i % 50 == 0) c.host.MapProgress(i, last);
    tmudcell& cell = *list.Cell(i);
    m.LastId = std::max(m.LastId, cell.id);
    cell.passStamp = 0;
    // Room ids are 1 or more: 0 and -1 never link.
    for (int k = 0; k < kDirections; ++k)
      cell.links[k] = cell.exitIds[k] > 0 ? list.FindId(cell.exitIds[k]) : nullptr;
  }
  m.view.Centre();
  c.host.HideMapProgress();
}

void CmdNewMap(Client& c, const CommandCall& call) {
  const std::string path = Unquote(call.params);
  MapModel& m = c.map;
  m.ClearRooms();
  m.LastId = 1;
  auto room = std::make_unique<tmudcell>();
  room->id = 1;
  m.CellList.Add("1", std::move(room));
  LinkMap(c, m.CellList);
  // Braces keep the path whole: no statement split, no substitution.
  c.ExecuteCommand("/set map.located=1;/set map._file={" + path + "}", false);
  CenterOnCurrentCell(c);
}

void CmdLoadMap(Client& c, const CommandCall& call) {
  const std::string name = MapFileParameter(c, call, false, Unquote(call.params));
  if (name.empty()) return;
  MapModel& m = c.map;
  m.SetCurrent(nullptr);
  const std::string full = text::ExpandFileName(name);
  // Read into a list of its own: a file that breaks off half-way leaves the
  // map as it was, so that saving at exit cannot write half a map over a
  // good file.
  TCellList fresh;
  if (!ReadMapFile(c, full, fresh, false)) return;
  m.ClearRooms();
  std::swap(m.CellList, fresh);
  ++m.loads;
  RecordMapFile(c, name);
  LinkMap(c, m.CellList);
  CenterOnCurrentCell(c);
}

void CmdSaveMap(Client& c, const CommandCall& call) {
  std::string name = Unquote(call.params);
  if (name.empty()) name = c.store.Var("map._file");
  name = MapFileParameter(c, call, true, name);
  if (name.empty()) return;
  std::string text;
  const TCellList& list = c.map.CellList;
  text.reserve(static_cast<std::size_t>(list.Count()) * 40);
  for (const auto& e : list.Entries()) text.append(FormatCellLine(*e.cell)).append("\r\n");
  const std::string full = text::ExpandFileName(name);
  if (!WriteFileSafely(full, text)) c.Message(std::string("Ошибка записи в файл "_cp) + full + ".");
  RecordMapFile(c, full);
}

void SetMapZoom(Client& c, int position) {
  c.store.Variables().SetValue("global._zoommap", IdText(position));
  c.RefreshPanels();
  c.map.view.SetZoom(position);
  c.host.RedrawMap();
}

}  // namespace tarnel
