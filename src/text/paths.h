// File names.  Names are Windows-1251 texts like everything else; the file
// system of this platform takes UTF-8, so every file operation goes through
// NativePath.  Both "\" and "/" separate folders in names the player types.
#pragma once

#include <string>
#include <string_view>

namespace tarnel::text {

// The full path of a name, relative names taken from the current folder.
std::string ExpandFileName(std::string_view name);
// The folder part of a full path, without the last separator.
std::string DirectoryOf(std::string_view path);
// The name for the operating system; empty for a name holding a NUL byte,
// which names no file.
std::string NativePath(std::string_view name);
// Back from the operating system's name.
std::string FromNativePath(std::string_view native);
bool FileExists(std::string_view name);

}  // namespace tarnel::text
