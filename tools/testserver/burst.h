// A large run of game text: coloured room names, descriptions, items,
// fights and status lines, in Windows-1251, as a busy server sends them.
#pragma once

#include <cstddef>
#include <string>

namespace tarnel::testserver {

// Exactly size bytes; every line ends in CR LF except a last one cut short.
// The text never holds 0xFF (it would be read as IAC) nor NUL.
std::string Burst(size_t size);

}  // namespace tarnel::testserver
