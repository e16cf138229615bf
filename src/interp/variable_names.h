// What a variable reference "%name" may hold.
#pragma once

namespace tarnel {

// A name begins with a Latin letter, "_" or a Cyrillic letter (bytes
// 192-255), and goes on with those, digits and ".".
constexpr bool IsNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 192;
}

constexpr bool IsNameChar(unsigned char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '.';
}

}  // namespace tarnel
