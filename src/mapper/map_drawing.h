// Drawing the laid-out map: squares one pixel apart, walls, marks and
// letters, as plain calls on a canvas the view provides.  Colours are
// 24-bit blue-green-red values, as map files and settings hold them.
#pragma once

#include <cstdint>
#include <string>

#include "mapper/map_model.h"

namespace tarnel {

class TStringList;

// The default room colour and the line colour of the settings "map._color"
// and "map._font_color"; a value that is no number, or 0, gives the
// built-in colour.
struct MapColours {
  std::uint32_t room = 0x00A000;
  std::uint32_t line = 0x00FF00;
};
MapColours ReadMapColours(const TStringList& settings);

// Each of the three bytes less n, stopping at 0.
std::uint32_t Darken(std::uint32_t bgr, int n);
// The shown level as three characters: "-01", "000", "002".
std::string LevelText(int level);

class MapCanvas {
 public:
  virtual ~MapCanvas() = default;
  // Pixels from (left, top) up to, not including, (right, bottom).
  virtual void Fill(int left, int top, int right, int bottom, std::uint32_t bgr) = 0;
  // A letter (Windows-1251) whose text cell starts at (x, y), `size` in
  // points.
  virtual void Letter(int x, int y, int size, bool bold, std::uint32_t bgr, char letter) = 0;
};

// The whole picture: the view's part of the shown level around the
// current room.  `located`: map.located is "1".
void DrawMap(const MapModel& m, const MapColours& colours, bool located, MapCanvas& canvas);

}  // namespace tarnel
