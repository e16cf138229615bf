// "/location": finding a room by its name and exits, in the current map and
// then in map files.

#include <algorithm>
#include <filesystem>
#include <unordered_map>

#include "interp/client.h"
#include "interp/commands.h"
#include "interp/words.h"
#include "mapper/map_commands.h"
#include "mapper/map_file.h"
#include "mapper/map_layout.h"
#include "script/text_file.h"
#include "text/case_fold.h"
#include "text/cp1251.h"
#include "text/paths.h"

namespace tarnel {

using namespace literals;

namespace {

// The wanted room: its name, per direction "-" (no exit there), empty (any)
// or the name of the room the exit leads to, and the map file mask.
struct locaterec {
  std::string name;
  std::string exits[kDirections] = {"-", "-", "-", "-", "-", "-"};
  std::string mask;
};

bool ParseLocation(std::string_view params, locaterec& want) {
  const int words = WordCount(params);
  if (words < 1) return false;
  want.name = MapRoomName(WordAt(params, 1));
  for (int i = 2; i <= words; ++i) {
    const std::string word = WordAt(params, i);
    const auto eq = word.find('=');
    if (eq == std::string::npos) continue;
    const std::string_view key = std::string_view(word).substr(0, eq);
    const std::string value = Unquote(std::string_view(word).substr(eq + 1));
    if (key == "map") {
      want.mask = value;
    } else if (key.size() == 1 && DirectionOfLetter(key[0]) >= 0) {
      want.exits[DirectionOfLetter(key[0])] = MapRoomName(value);
    }
  }
  return true;
}

// The rule of both searches for one exit; the neighbour's name is asked
// for only when the exit leads to a known room.  `strict`: "-" wants no
// exit at all (the file rule), not merely none to a known room.
template <typename NeighbourName>
bool ExitsMatch(const tmudcell& room, const locaterec& want, bool strict, NeighbourName neighbour) {
  for (int k = 0; k < kDirections; ++k) {
    const std::string& t = want.exits[k];
    const std::int32_t v = room.exitIds[k];
    if (t == "-") {
      if (strict ? v >= 0 : v > 0) return false;
    } else if (!t.empty()) {
      if (v == -1) return false;
      if (v > 0) {
        const std::optional<std::string> n = neighbour(k, v);
        if (!n || (!n->empty() && *n != t)) return false;
      }
    }
  }
  return true;
}

tmudcell* FindInMap(const MapModel& m, const locaterec& want) {
  for (const auto& e : m.CellList.Entries()) {
    const tmudcell& r = *e.cell;
    if (r.name != want.name) continue;
    // A missing link sets no condition on the name.
    auto neighbour = [&r](int k, std::int32_t) -> std::optional<std::string> {
      return r.links[k] != nullptr ? r.links[k]->name : std::string();
    };
    if (ExitsMatch(r, want, false, neighbour)) return e.cell.get();
  }
  return nullptr;
}

// The id of the first matching room of a map file's lines in sorted order.
std::optional<std::int32_t> FindInFile(std::vector<std::string> lines, const locaterec& want) {
  std::stable_sort(lines.begin(), lines.end(),
                   [](const std::string& a, const std::string& b) { return text::CompareText(a, b) < 0; });
  std::unordered_map<std::string, std::size_t> by_name;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const auto eq = lines[i].find('=');
    if (eq != std::string::npos) by_name.emplace(text::FoldCase(std::string_view(lines[i]).substr(0, eq)), i);
  }
  for (const std::string& line : lines) {
    if (UnquoteView(line).empty()) continue;
    const std::unique_ptr<tmudcell> room = ParseCellLine(line);
    if (!room || room->name != want.name) continue;
    auto neighbour = [&](int, std::int32_t v) -> std::optional<std::string> {
      const auto it = by_name.find(IdText(v));
      if (it == by_name.end()) return std::nullopt;
      const std::unique_ptr<tmudcell> n = ParseCellLine(lines[it->second]);
      if (!n) return std::nullopt;
      return n->name;
    };
    if (ExitsMatch(*room, want, true, neighbour)) return room->id;
  }
  return std::nullopt;
}

// "*" any run of characters, "?" any one, letter case aside.
bool MatchesMask(std::string_view name, std::string_view mask) {
  std::size_t n = 0, p = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < mask.size() && mask[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < mask.size() &&
               (mask[p] == '?' || text::FoldByte(static_cast<unsigned char>(mask[p])) ==
                                      text::FoldByte(static_cast<unsigned char>(name[n])))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < mask.size() && mask[p] == '*') ++p;
  return p == mask.size();
}

// The files of the folder part of a mask that its name part matches, in
// name order (the order the file systems the maps come from list them in).
std::vector<std::string> MapFiles(const std::string& folder, std::string_view pattern) {
  namespace fs = std::filesystem;
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(text::NativePath(folder.empty() ? std::string(".") : folder), ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code type_ec;
    if (!it->is_regular_file(type_ec)) continue;
    std::string name = text::FromNativePath(it->path().filename().string());
    if (MatchesMask(name, pattern)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return text::CompareText(a, b) < 0; });
  return names;
}

// Searches the map files of the mask; loads the first that has the room and
// makes it current.
bool FindInFiles(Client& c, const locaterec& want) {
  const std::string mask = want.mask + ".tmm";
  const auto cut = mask.find_last_of("\\/");
  const std::string folder = cut == std::string::npos ? std::string() : mask.substr(0, cut + 1);
  const std::string pattern = cut == std::string::npos ? mask : mask.substr(cut + 1);
  for (const std::string& name : MapFiles(folder, pattern)) {
    const std::string path = folder + name;
    std::string content;
    if (!ReadWholeFile(path, content)) {
      MapReadError(c, path);
      continue;
    }
    c.Message(std::string("Поиск локации в "_cp) + path + "...");
    const std::optional<std::int32_t> id = FindInFile(SplitTextLines(content), want);
    if (!id) continue;
    MapModel& m = c.map;
    const int loads = m.loads;
    c.ExecuteCommand("/loadmap \"" + path + "\"", false);
    // A file that did not load (its read error is shown) is no match: the
    // room must not be looked for in the map that stayed.
    if (m.loads == loads) continue;
    m.SetCurrent(m.CellList.FindId(*id));
    c.RefreshPanels();
    c.host.RedrawMap();
    return true;
  }
  return false;
}

}  // namespace

void CmdLocation(Client& c, const CommandCall& call) {
  locaterec want;
  if (!ParseLocation(call.params, want)) {
    c.ParamError(call.word);
    return;
  }
  MapModel& m = c.map;
  bool found = false;
  if (tmudcell* room = FindInMap(m, want)) {
    m.SetCurrent(room);
    found = true;
  } else if (!want.mask.empty()) {
    found = FindInFiles(c, want);
  }
  if (!found) {
    c.Message("Локация не обнаружена..."_cp);
    return;
  }
  c.Message("Локация обнаружена!"_cp);
  CenterOnCurrentCell(c);
  c.ExecuteCommand("/set map.located=1", false);
  c.store.PruneGroups();
  c.RefreshPanels();
  c.host.RedrawMap();
}

}  // namespace tarnel
