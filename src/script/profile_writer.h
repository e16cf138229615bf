// The profile file: the player's whole script state as a script.
#pragma once

#include "script/script_store.h"
#include "script/string_list.h"

namespace tarnel {

// Macros, hotkeys, triggers, functions, arguments, then the variables that
// are kept (the groups "global" and "manual", and groups whose "._autosave"
// is "on"), with include lines in their place.
TStringList BuildProfileLines(ScriptStore& store);

}  // namespace tarnel
