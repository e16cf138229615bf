// Conversion between Windows-1251 and UTF-8 at the edges of the client
// (console output, clipboard, file names shown to the player).
#pragma once

#include <string>
#include <string_view>

namespace tarnel::text {

// Every byte becomes its character in UTF-8.
std::string Cp1251ToUtf8(std::string_view cp1251);

// Characters that Windows-1251 lacks become "?"; malformed UTF-8 bytes are
// taken as Windows-1251 bytes unchanged, so nothing the player typed is lost.
std::string Utf8ToCp1251(std::string_view utf8);

}  // namespace tarnel::text
