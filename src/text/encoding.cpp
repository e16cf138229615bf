#include "text/encoding.h"

#include "text/cp1251.h"

namespace tarnel::text {

namespace {

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::string Cp1251ToUtf8(std::string_view cp1251) {
  std::string out;
  out.reserve(cp1251.size() * 2);
  for (char c : cp1251) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80)
      out += c;
    else
      AppendUtf8(out, Cp1251ToUnicode(b));
  }
  return out;
}

std::string Utf8ToCp1251(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    if (b0 < 0x80) {
      out += static_cast<char>(b0);
      ++i;
      continue;
    }
    std::size_t extra = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
      extra = 1;
      cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
      extra = 2;
      cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
      extra = 3;
      cp = b0 & 0x07;
    } else {
      out += static_cast<char>(b0);
      ++i;
      continue;
    }
    bool ok = i + extra < utf8.size();
    for (std::size_t k = 1; ok && k <= extra; ++k) {
      const auto bk = static_cast<unsigned char>(utf8[i + k]);
      if ((bk & 0xC0) != 0x80)
        ok = false;
      else
        cp = (cp << 6) | (bk & 0x3F);
    }
    if (!ok) {
      out += static_cast<char>(b0);
      ++i;
      continue;
    }
    const int code = UnicodeToCp1251(cp);
    out += code < 0 ? '?' : static_cast<char>(code);
    i += extra + 1;
  }
  return out;
}

}  // namespace tarnel::text
