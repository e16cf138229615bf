#include "burst.h"

#include <array>
#include <string_view>

namespace tarnel::testserver {
namespace {

// Cyrillic in UTF-8 to Windows-1251; the server's only texts are these few.
std::string Cp1251(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80 || i + 1 == utf8.size()) {
      out.push_back(static_cast<char>(b));
      continue;
    }
    unsigned code = ((b & 0x1fu) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3fu);
    if (code >= 0x410 && code <= 0x44f)
      out.push_back(static_cast<char>(code - 0x410 + 0xc0));
    else if (code == 0x401)
      out.push_back('\xa8');
    else if (code == 0x451)
      out.push_back('\xb8');
    else
      out.push_back('?');
  }
  return out;
}

// No word below holds the letter that is 0xFF in Windows-1251.
constexpr std::array<std::string_view, 5> kRooms = {"Комната у северных ворот", "Старый трактир",
                                                    "Тёмный лес", "Берег реки", "Town square"};
constexpr std::array<std::string_view, 4> kDescriptions = {
    "Вы стоите на площади. Отсюда видны ворота и дорога на север.",
    "Здесь пахнет пивом и дымом, у стены спит старый гном.",
    "Ветер шумит в кронах, тропа уходит на юг и на восток.",
    "A cold wind blows from the mountains; the road leads north."};
constexpr std::array<std::string_view, 4> kItems = {"старый меч", "кожаный щит", "медный ключ",
                                                    "a loaf of bread"};
constexpr std::array<std::string_view, 3> kFoes = {"Серый волк", "Гоблин", "A giant rat"};

}  // namespace

std::string Burst(size_t size) {
  std::string out;
  out.reserve(size + 200);
  for (unsigned n = 0; out.size() < size; ++n) {
    std::string k = std::to_string(n);
    switch (n % 6) {
      case 0: out += "\x1b[1;36m" + Cp1251(kRooms[n / 6 % kRooms.size()]) + "\x1b[0m\r\n"; break;
      case 1: out += "\x1b[0;37m" + Cp1251(kDescriptions[n % kDescriptions.size()]) + "\r\n"; break;
      case 2:
        out += "\x1b[1;33m" + Cp1251(kItems[n % kItems.size()]) + " (" + k + ")\x1b[0m\r\n";
        break;
      case 3:
        out += "\x1b[0;31m" + Cp1251(kFoes[n % kFoes.size()]) + Cp1251(" бьёт вас! [") + k +
               "]\x1b[0m\r\n";
        break;
      case 4: out += "\x1b[1;32m" + Cp1251("Вы ударили врага.") + "\x1b[0m\r\n"; break;
      case 5: out += "\x1b[0;32m<" + k + "hp 120mv>\x1b[0m \r\n"; break;
    }
  }
  out.resize(size);
  return out;
}

}  // namespace tarnel::testserver
