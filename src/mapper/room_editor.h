// The room editor of the map panel: each field changes the room in the
// centre of the layout, and the map is laid out anew.  The transitions of a
// room are run from here too.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarnel {

class Client;

// An exit value typed into the field of direction k: a room id of the
// map, "0" or "-1"; false (nothing changes) for anything else.
bool ApplyRoomExit(Client& c, int k, std::string_view text);
void ApplyRoomName(Client& c, std::string_view text);
void ApplyRoomTransitions(Client& c, std::string_view text);
// Width or height; 0 becomes 1, a text that is no number changes nothing.
void ApplyRoomSize(Client& c, bool width, std::string_view text);
// The first character, or none when empty.
void ApplyRoomFlag(Client& c, std::string_view text);
void ApplyRoomColour(Client& c, std::int32_t colour);

// One entry of a room's transitions ("target:command,command"): the
// commands go to the game, then the target map is loaded and its room
// made the current one.
void RunTransition(Client& c, std::string_view entry);

}  // namespace tarnel
