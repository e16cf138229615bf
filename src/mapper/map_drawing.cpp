#include "mapper/map_drawing.h"

#include <algorithm>
#include <cstdlib>

#include "script/string_list.h"
#include "text/numbers.h"

namespace tarnel {

namespace {

std::uint32_t SettingColour(const TStringList& settings, std::string_view key, std::uint32_t fallback) {
  const std::int64_t v = text::IntegerOr(settings.GetValue(key), 0);
  return v == 0 ? fallback : static_cast<std::uint32_t>(v) & 0xFFFFFFu;
}

// A line from (x1, y1) to (x2, y2) as the desktop's line drawing does it:
// the last point is left out, so lines joined end to start draw each
// point once.
void Segment(MapCanvas& canvas, int x1, int y1, int x2, int y2, std::uint32_t bgr) {
  const int dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
  const int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
  int err = dx + dy;
  while (x1 != x2 || y1 != y2) {
    canvas.Fill(x1, y1, x1 + 1, y1 + 1, bgr);
    const int e2 = 2 * err;
    if (e2 >= dy) err += dy, x1 += sx;
    if (e2 <= dx) err += dx, y1 += sy;
  }
}

// Room names are short and most squares of a town share one: a plain loop
// beats a library call per square.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) return false;
  return true;
}

}  // namespace

MapColours ReadMapColours(const TStringList& settings) {
  MapColours c;
  c.room = SettingColour(settings, "map._color", 0x00A000);
  c.line = SettingColour(settings, "map._font_color", 0x00FF00);
  return c;
}

std::uint32_t Darken(std::uint32_t bgr, int n) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int byte = static_cast<int>((bgr >> shift) & 0xFF);
    out |= static_cast<std::uint32_t>(std::max(0, byte - n)) << shift;
  }
  return out;
}

std::string LevelText(int level) {
  const std::string digits = std::to_string(std::abs(level));
  if (level < 0) return "-" + std::string(digits.size() < 2 ? 2 - digits.size() : 0, '0') + digits;
  return std::string(digits.size() < 3 ? 3 - digits.size() : 0, '0') + digits;
}

void DrawMap(const MapModel& m, const MapColours& colours, bool located, MapCanvas& canvas) {
  const MapViewState& v = m.view;
  const int W = v.square_width, H = v.square_height;
  const tmudcell* centre = m.Centre();
  if (centre == nullptr || centre == &m.FillerCell || W <= 0 || H <= 0) {
    canvas.Fill(0, 0, v.image_width + 2, v.image_height + 2, 0);
    return;
  }
  // Black where no square will be: the gaps between them, past the last
  // column and row, and (below) the empty slots.  Squares cover the rest,
  // so the picture is not cleared twice over.
  // The gaps between columns are drawn column by column, each just before
  // the column to its left, while that part of the picture is at hand:
  // nothing drawn for a column reaches past its right gap.
  const int columns_end = (100 - v.column_origin) * W;
  const int rows_end = (100 - v.row_origin) * H;
  const int gaps_end = std::min(columns_end, v.image_width + 2);
  int next_gap = 0;
  auto gaps_upto = [&](int x_last) {
    for (; next_gap < gaps_end && next_gap <= x_last; next_gap += W)
      canvas.Fill(next_gap, 0, next_gap + 1, v.image_height + 2, 0);
  };
  for (int y = 0; y < std::min(rows_end, v.image_height + 2); y += H) canvas.Fill(0, y, v.image_width + 2, y + 1, 0);
  canvas.Fill(std::max(columns_end, 0), 0, v.image_width + 2, v.image_height + 2, 0);
  canvas.Fill(0, std::max(rows_end, 0), v.image_width + 2, v.image_height + 2, 0);
  const int level = std::clamp(v.level, -3, 3);
  const tmudcell* const filler = &m.FillerCell;
  const std::uint32_t filler_colour = Darken(colours.room ^ 0xFFFFFFu, 128);
  // The default square and the lines at each distance, worked out once.
  std::uint32_t room_at[21], pen_at[21];
  for (int d = 0; d <= 20; ++d) {
    room_at[d] = Darken(colours.room, 3 * d);
    pen_at[d] = Darken(colours.line, 4 * d);
  }
  const std::string_view centre_name = centre->name;
  auto slot = [&](int x, int y) -> const tmudcell* {
    return TLayoutGrid::Inside(x, y, level) ? m.LayoutGrid.At(x, y, level) : nullptr;
  };
  // A wall stands where this room has no exit, unless a nearer room beside
  // it has a way in.
  auto wall = [](const tmudcell& r, int exit, const tmudcell* beside, int back) {
    return r.exitIds[exit] == -1 &&
           (beside == nullptr || r.distance < beside->distance || beside->exitIds[back] >= 0);
  };

  for (int i = v.column_origin; i <= 99; ++i) {
    const int left = (i - v.column_origin) * W + 1;
    if (left > v.image_width) break;
    const int right = (i - v.column_origin + 1) * W;
    gaps_upto(right);
    for (int j = v.row_origin; j <= 99; ++j) {
      const int top = (j - v.row_origin) * H + 1;
      if (top > v.image_height) break;
      const int bottom = (j - v.row_origin + 1) * H;
      const tmudcell* r = slot(i, j);
      if (r == nullptr) {
        canvas.Fill(left, top, right, bottom, 0);
        continue;
      }
      if (r == filler) {
        canvas.Fill(left, top, right, bottom, filler_colour);
        continue;
      }
      const int d = std::clamp(r->distance, 0, 20);
      const bool bright = SameName(r->name, centre_name);
      std::uint32_t brush;
      if (r->colour <= 0 && !r->corridorMark) {
        brush = bright ? colours.room : room_at[d];
      } else {
        brush = r->colour > 0 ? static_cast<std::uint32_t>(r->colour) & 0xFFFFFFu : colours.room;
        if (r->corridorMark) brush ^= 0xFFFFFFu;
        if (!bright) brush = Darken(brush, 3 * d);
      }
      canvas.Fill(left, top, right, bottom, brush);

      const int at = W / 9;
      if (r->flag != 0 && (i != 0 || j != 0)) canvas.Letter(left + at, top + at - 1, W / 2, false, 0xFFFF00, r->flag);
      if (i == 0 && j == 0)
        canvas.Letter(left + at, top + at - 1, W / 2, true, 0x0000FF, level == 0 && located ? 'P' : '?');

      const std::uint32_t pen = pen_at[d];
      if (wall(*r, kWest, slot(i - 1, j), kEast)) canvas.Fill(left - 1, top - 1, left, bottom, pen);
      if (wall(*r, kNorth, slot(i, j - 1), kSouth)) canvas.Fill(left - 1, top - 1, right, top, pen);
      if (wall(*r, kEast, slot(i + 1, j), kWest)) canvas.Fill(right, top - 1, right + 1, bottom + 1, pen);
      if (wall(*r, kSouth, slot(i, j + 1), kNorth)) canvas.Fill(left - 1, bottom, right, bottom + 1, pen);

      const bool small = v.zoom == MapViewState::kMinZoom;
      if (r->exitIds[kUp] >= 0) {
        if (small) {
          canvas.Fill(right - 3, top + 3, right - 1, top + 4, pen);
        } else {
          Segment(canvas, right - 7, top + 6, right - 5, top + 3, pen);
          Segment(canvas, right - 5, top + 3, right - 3, top + 7, pen);
        }
      }
      if (r->exitIds[kDown] >= 0) {
        if (small) {
          canvas.Fill(right - 3, bottom - 3, right - 1, bottom - 2, pen);
        } else {
          Segment(canvas, right - 7, bottom - 6, right - 5, bottom - 3, pen);
          Segment(canvas, right - 5, bottom - 3, right - 3, bottom - 7, pen);
        }
      }
    }
  }
  gaps_upto(gaps_end);
}

}  // namespace tarnel
