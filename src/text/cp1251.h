// Windows-1251 texts in the source.
//
// Every text of the client is a byte string in Windows-1251, while the source
// files are UTF-8.  The literal operator _cp turns a UTF-8 literal into the
// Windows-1251 bytes at compile time:  "Ошибка"_cp  is a std::string_view over
// the six single-byte letters.  A character that has no Windows-1251 code is a
// compile-time error.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace tarnel::text {

// Unicode code point of each byte 0x80..0xBF of Windows-1251 (0x98 is unused
// in the code page; it is carried as the C1 control U+0098 so that it
// survives a round trip).
inline constexpr char32_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

// The code point shown for a Windows-1251 byte.
constexpr char32_t Cp1251ToUnicode(unsigned char b) {
  if (b < 0x80) return b;
  if (b >= 0xC0) return 0x0410 + (b - 0xC0);
  return kCp1251High[b - 0x80];
}

// The Windows-1251 byte of a code point, or -1 when the code page lacks it.
constexpr int UnicodeToCp1251(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(0xC0 + (cp - 0x0410));
  for (int i = 0; i < 64; ++i)
    if (kCp1251High[i] == cp) return 0x80 + i;
  return -1;
}

template <std::size_t N>
struct Utf8Literal {
  char data[N]{};
  constexpr Utf8Literal(const char (&s)[N]) {
    for (std::size_t i = 0; i < N; ++i) data[i] = s[i];
  }
};

template <std::size_t N>
struct Cp1251Bytes {
  std::array<char, N> bytes{};
  std::size_t size = 0;
};

template <std::size_t N>
constexpr Cp1251Bytes<N> EncodeLiteral(const char (&src)[N]) {
  Cp1251Bytes<N> out;
  std::size_t i = 0;
  const std::size_t len = N - 1;  // without the terminating zero
  while (i < len) {
    const auto b0 = static_cast<unsigned char>(src[i]);
    char32_t cp = 0;
    std::size_t extra = 0;
    if (b0 < 0x80) {
      cp = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
      cp = b0 & 0x1F;
      extra = 1;
    } else if ((b0 & 0xF0) == 0xE0) {
      cp = b0 & 0x0F;
      extra = 2;
    } else if ((b0 & 0xF8) == 0xF0) {
      cp = b0 & 0x07;
      extra = 3;
    } else {
      throw "invalid UTF-8 in a _cp literal";
    }
    if (i + extra >= len + 1) throw "truncated UTF-8 in a _cp literal";
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto bk = static_cast<unsigned char>(src[i + k]);
      if ((bk & 0xC0) != 0x80) throw "invalid UTF-8 in a _cp literal";
      cp = (cp << 6) | (bk & 0x3F);
    }
    const int code = UnicodeToCp1251(cp);
    if (code < 0) throw "character without a Windows-1251 code in a _cp literal";
    out.bytes[out.size++] = static_cast<char>(code);
    i += extra + 1;
  }
  return out;
}

template <Utf8Literal S>
inline constexpr auto kCp1251Storage = EncodeLiteral(S.data);

}  // namespace tarnel::text

namespace tarnel::literals {

template <tarnel::text::Utf8Literal S>
constexpr std::string_view operator""_cp() {
  return std::string_view(tarnel::text::kCp1251Storage<S>.bytes.data(),
                          tarnel::text::kCp1251Storage<S>.size);
}

}  // namespace tarnel::literals
