#include "mapper/map_cell.h"

namespace tarnel {

int DirectionOfLetter(char letter) {
  switch (letter) {
    case 'w': return kWest;
    case 'n': return kNorth;
    case 'e': return kEast;
    case 's': return kSouth;
    case 'u': return kUp;
    case 'd': return kDown;
    default: return -1;
  }
}

char MapFlag(char flag) {
  switch (flag) {
    case ';': return ',';
    case '=': return '-';
    case '\r':
    case '\n': return ' ';
    default: return flag;
  }
}

std::string MapRoomName(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = MapFlag(c);
  return out;
}

}  // namespace tarnel
