#include "text/case_fold.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace tarnel::text {

namespace {

constexpr std::array<unsigned char, 256> MakeFoldTable() {
  std::array<unsigned char, 256> t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i);
  for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<unsigned char>(c - 32);
  for (int c = 0xE0; c <= 0xFF; ++c) t[c] = static_cast<unsigned char>(c - 32);
  // Lower-case letters of the 0x80-0xBF block and their capitals.
  constexpr unsigned char pairs[][2] = {
      {0x90, 0x80}, {0x83, 0x81}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9D, 0x8D},
      {0x9E, 0x8E}, {0x9F, 0x8F}, {0xA2, 0xA1}, {0xBC, 0xA3}, {0xB4, 0xA5},
      {0xB8, 0xA8}, {0xBA, 0xAA}, {0xBF, 0xAF}, {0xB3, 0xB2}, {0xBE, 0xBD},
  };
  for (const auto& p : pairs) t[p[0]] = p[1];
  return t;
}

}  // namespace

extern const std::array<unsigned char, 256> kFoldTable = MakeFoldTable();

namespace {
const std::array<unsigned char, 256>& kFold = kFoldTable;
}  // namespace

std::string UpperCase1251(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= 'a' && b <= 'z') || b >= 0xE0) c = static_cast<char>(b - 32);
  }
  return out;
}

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return out;
}

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

std::string FoldCase(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(kFold[static_cast<unsigned char>(c)]);
  return out;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const std::size_t n = a.size();
  std::size_t i = 0;
  // Names are nearly always spelt alike: eight equal bytes need no folding.
  for (; i + 8 <= n; i += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a.data() + i, 8);
    std::memcpy(&y, b.data() + i, 8);
    if (x == y) continue;
    for (std::size_t j = i; j < i + 8; ++j)
      if (kFold[static_cast<unsigned char>(a[j])] != kFold[static_cast<unsigned char>(b[j])])
        return false;
  }
  for (; i < n; ++i)
    if (kFold[static_cast<unsigned char>(a[i])] != kFold[static_cast<unsigned char>(b[i])])
      return false;
  return true;
}

bool StartsWithText(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

int CompareText(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const int x = kFold[static_cast<unsigned char>(a[i])];
    const int y = kFold[static_cast<unsigned char>(b[i])];
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace tarnel::text
