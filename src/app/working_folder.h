// The folder the client starts in.  A profile names its files relatively
// (default.tmc, standart.log, stats.tms, maps), so they land in the current
// folder: beside the program when it runs from a build or a portable copy,
// in the player's data folder when it is installed and its folder belongs
// to the system.
#pragma once

#include <functional>
#include <string>

namespace tarnel {

// Whether the client may write into a folder.
using FolderWritable = std::function<bool(const std::string& dir)>;
// Reads an environment variable: nullptr when it is not set.
using EnvironmentLookup = std::function<const char*(const char* name)>;

// The folder to start in, or "" to stay where the client was started: a
// writable program folder changes nothing, and neither does TARNEL_HOME (the
// player has chosen where things live).  Otherwise $XDG_DATA_HOME/tarnel,
// or ~/.local/share/tarnel when that variable is unset or not absolute.
std::string ChooseWorkingFolder(const std::string& program_dir, const FolderWritable& writable,
                                const EnvironmentLookup& environment);

// Moves into the folder chosen above, creating it when missing.  When that
// fails the client stays where it was started, after a warning on standard
// error, and false is returned.
bool EnterWorkingFolder(const std::string& program_dir, const FolderWritable& writable,
                        const EnvironmentLookup& environment);

// The same with the real file system and environment: writable means what
// access(W_OK) says, as for the settings file.
bool EnterWorkingFolder(const std::string& program_dir);

}  // namespace tarnel
