// Key names for hotkeys: the platform's virtual-key codes and the names the
// hotkey entries use ("F5", "CTRL+F5", "SHIFT+ALT+CTRL+F1", "NUM8").
#pragma once

#include <string>

#include "script/string_list.h"

namespace tarnel {

// Virtual-key codes the client handles itself.
namespace vk {
inline constexpr int kBack = 8, kTab = 9, kReturn = 13, kEscape = 27, kPrior = 33, kNext = 34,
                     kEnd = 35, kHome = 36, kLeft = 37, kUp = 38, kRight = 39, kDown = 40,
                     kInsert = 45, kDelete = 46, kNumpad0 = 96, kNumpad2 = 98, kNumpad3 = 99,
                     kNumpad4 = 100, kNumpad6 = 102, kNumpad8 = 104, kNumpad9 = 105,
                     kMultiply = 106, kAdd = 107, kSubtract = 109, kDecimal = 110, kDivide = 111,
                     kF1 = 112, kF10 = 121, kShift = 16, kControl = 17, kMenu = 18;
}  // namespace vk

// The 81 lines "code=name".
TStringList BuildKeyNames();

// The name of a key with its modifiers, or empty when the key has none.
std::string KeyName(TStringList& key_names, int code, bool ctrl, bool alt, bool shift);
// The same name as the entry editor writes it: the prefixes in the same
// order, spelled "Ctrl+", "Alt+", "Shift+" (lookups ignore letter case).
std::string EditorKeyName(TStringList& key_names, int code, bool ctrl, bool alt, bool shift);

}  // namespace tarnel
