// The profile file: the player's whole script state as a script.
#pragma once

#include <string>

#include "script/script_store.h"

namespace tarnel {

// The text of the profile file (CR LF lines): macros, hotkeys, triggers,
// functions, arguments, then the variables that are kept (the groups
// "global" and "manual", and groups whose "._autosave" is "on"), with include
// lines in their place.  Every entry comes back as it is when the file is
// loaded: one that the usual "set ... ={value}" line would not carry whole
// is written between quotes, or else in the exact form.
std::string BuildProfileText(ScriptStore& store);

}  // namespace tarnel
