// The map's operations that the commands, the window and the tests share.
#pragma once

#include <string>
#include <string_view>

#include "mapper/cell_list.h"

namespace tarnel {

class Client;

// Prepares a freshly filled list: sorted, the recorder's variables reset,
// links resolved from the exit values, the pass counter and every pass
// stamp at 0, LastId the highest id.  With make_current the first room
// becomes the current one (none when the list is empty).
void LinkMap(Client& c, TCellList& list, bool make_current = true);

// Alt+Backspace: removes the room with the highest id and makes the next
// highest the current one.
void TakeBackLastRoom(Client& c);

// One "/nav" step with a letter of "wnesudx" (the letter is not checked).
void Navigate(Client& c, char letter);

// The zoom slider moved to a position: stored in global._zoommap, the
// square size and the view's centre follow, the map is drawn anew.
void SetMapZoom(Client& c, int position);

// The rooms of a map file, listed under the text before "=" of their line
// or, `by_id`, under their id.  False (the read error shown) when the file
// cannot be read or a line is no room.
bool ReadMapFile(Client& c, const std::string& full_path, TCellList& into, bool by_id);

// The read error of a map file.
void MapReadError(Client& c, std::string_view full_path);

}  // namespace tarnel
