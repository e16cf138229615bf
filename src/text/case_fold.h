// Letter case of Windows-1251 text.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tarnel::text {

// Each byte's folded form (see FoldByte); names are hashed and compared
// through it millions of times a second, so it is read inline.
extern const std::array<unsigned char, 256> kFoldTable;

// Latin a-z and the Windows-1251 letters 0xE0-0xFF to upper case; every other
// byte unchanged.
std::string UpperCase1251(std::string_view s);

// Latin a-z only.
std::string UpperAscii(std::string_view s);
std::string LowerAscii(std::string_view s);

// Folding used wherever names compare without regard to letter case: Latin
// and all Cyrillic letters of the code page (ё and the Ukrainian and Serbian
// letters included).
inline unsigned char FoldByte(unsigned char b) { return kFoldTable[b]; }
std::string FoldCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b);
bool StartsWithText(std::string_view s, std::string_view prefix);
// Case-insensitive ordering (byte order of the folded texts).
int CompareText(std::string_view a, std::string_view b);

}  // namespace tarnel::text
