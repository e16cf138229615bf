// Lines of a map file: one room per line,
//   id "=" w ";" n ";" e ";" s ";" u ";" d ";" colour ";" flag ";" ";" name ";"
//   width ";" height ";" transitions ";"
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "mapper/map_cell.h"

namespace tarnel {

// The room of a line; null when a number field is not a number (or does not
// fit in 32 bits).  Empty fields keep the defaults of a new room.
std::unique_ptr<tmudcell> ParseCellLine(std::string_view line);
std::string FormatCellLine(const tmudcell& cell);

// The text a loaded room is listed under: the line before its first "=",
// leading blanks removed (empty when the line has no "=").
std::string CellEntryText(std::string_view line);

}  // namespace tarnel
