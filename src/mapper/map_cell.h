// One room of the map and the six directions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarnel {

// Directions always go in this order; the grid has west at x-1, north at
// y-1, up at z+1.
enum Direction : int { kWest = 0, kNorth = 1, kEast = 2, kSouth = 3, kUp = 4, kDown = 5 };
inline constexpr int kDirections = 6;
inline constexpr int kOpposite[kDirections] = {kEast, kSouth, kWest, kNorth, kDown, kUp};
inline constexpr char kDirectionLetters[kDirections + 1] = "wnesud";
// The direction of a letter "w", "n", "e", "s", "u" or "d", or -1.
int DirectionOfLetter(char letter);

class tmudcell {
 public:
  // The fields the layout passes touch on every move come first, so that a
  // pass over thousands of rooms reads as few cache lines as it can.
  tmudcell* links[kDirections] = {};
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t z = 0;
  std::int32_t distance = 0;
  std::uint32_t passStamp = 0;
  std::int32_t homeLevel = 0;
  std::int32_t width = 1;
  std::int32_t height = 1;
  bool visitedMark = false;
  bool corridorMark = false;
  char flag = 0;
  std::int32_t appendMark = 0;

  std::int32_t id = 0;
  std::int32_t exitIds[kDirections] = {};
  std::int32_t colour = 0;
  std::string name;
  std::string transitions;
  tmudcell* backRefs[kDirections] = {};
};

// A room name (or flag) as the map keeps it: ";" and "=" would shift the
// fields of the saved line and a line break would split it, so they become
// "," , "-" and a blank.
std::string MapRoomName(std::string_view name);
char MapFlag(char flag);

}  // namespace tarnel
