#include "mapper/map_file.h"

#include <cmath>

#include "interp/words.h"
#include "mapper/cell_list.h"
#include "text/numbers.h"

namespace tarnel {

namespace {

bool ReadInt32(std::string_view token, std::int32_t& out) {
  const auto v = text::ReadInteger(token);
  if (!v || *v < INT32_MIN || *v > INT32_MAX) return false;
  out = static_cast<std::int32_t>(*v);
  return true;
}

// The colour is written by the general number formatter and read back as a
// decimal number, cut to a whole one.
bool ReadColour(std::string_view token, std::int32_t& out) {
  const auto v = text::ReadFloat(token);
  if (!v || !std::isfinite(static_cast<double>(*v))) return false;
  const long double t = std::trunc(*v);
  if (t < INT32_MIN || t > INT32_MAX) return false;
  out = static_cast<std::int32_t>(t);
  return true;
}

}  // namespace

std::unique_ptr<tmudcell> ParseCellLine(std::string_view line) {
  auto cell = std::make_unique<tmudcell>();
  int index = 0;
  std::size_t start = 0;
  // The line as read has one ";" more than the file: every field ends at a
  // separator, the last one too.
  const std::size_t n = line.size() + 1;
  for (std::size_t i = 0; i < n && index <= 13; ++i) {
    const char c = i < line.size() ? line[i] : ';';
    if (c != '=' && c != ';') continue;
    const std::string_view token = line.substr(start, i - start);
    start = i + 1;
    const int t = index++;
    if (t == 13) {
      // Everything after the 13th separator, less the ";" the writer ends
      // the line with.
      std::string_view rest = i < line.size() ? line.substr(i) : std::string_view();
      if (!rest.empty() && rest.back() == ';') rest.remove_suffix(1);
      cell->transitions.assign(token).append(rest);
      break;
    }
    if (token.empty()) continue;
    bool ok = true;
    if (t == 0) ok = ReadInt32(token, cell->id);
    else if (t <= 6) ok = ReadInt32(token, cell->exitIds[t - 1]);
    else if (t == 7) ok = ReadColour(token, cell->colour);
    else if (t == 8) cell->flag = token[0];
    else if (t == 10) cell->name.assign(token);
    else if (t == 11) ok = ReadInt32(token, cell->width);
    else if (t == 12) ok = ReadInt32(token, cell->height);
    if (!ok) return nullptr;
  }
  return cell;
}

std::string FormatCellLine(const tmudcell& c) {
  std::string s;
  s.reserve(48 + c.name.size() + c.transitions.size());
  s += IdText(c.id);
  s += '=';
  for (const std::int32_t e : c.exitIds) {
    s += IdText(e);
    s += ';';
  }
  s += text::FormatGeneral(c.colour);
  s += ';';
  if (c.flag != 0) s += c.flag;
  s += ";;";
  s += c.name;
  s += ';';
  s += IdText(c.width);
  s += ';';
  s += IdText(c.height);
  s += ';';
  s += c.transitions;
  s += ';';
  return s;
}

std::string CellEntryText(std::string_view line) {
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) return {};
  return TrimLeftBlanks(line.substr(0, eq));
}

}  // namespace tarnel
