// Keys as the hotkey table names them: Qt key events to the virtual-key
// codes of the key names.
#pragma once

#include <QKeyEvent>

namespace tarnel {

// The virtual-key code of a key event, or 0 for keys without one.  The
// physical key decides where the platform tells it (so hotkeys work with a
// Cyrillic layout and with Shift), and the numeric keypad gives its own codes
// whether Num Lock is on or off.
int VirtualKeyOf(const QKeyEvent& event);

}  // namespace tarnel
