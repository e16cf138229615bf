// The server's side of a compressed stream, for tests: a zlib deflate
// stream with a sync flush after every piece, as a game server sends it.
#pragma once

#include <zlib.h>

#include <string>
#include <string_view>

namespace tarnel::test {

class Deflater {
 public:
  Deflater() { deflateInit(&z_, Z_DEFAULT_COMPRESSION); }
  ~Deflater() { deflateEnd(&z_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // The text compressed and flushed, ready to be inflated at once.
  std::string Write(std::string_view text) { return Run(text, Z_SYNC_FLUSH); }
  // The final block and the check value: the end of the stream.
  std::string End() { return Run({}, Z_FINISH); }

 private:
  std::string Run(std::string_view text, int flush) {
    std::string out;
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z_.avail_in = static_cast<uInt>(text.size());
    do {
      char buffer[16384];
      z_.next_out = reinterpret_cast<Bytef*>(buffer);
      z_.avail_out = sizeof buffer;
      deflate(&z_, flush);
      out.append(buffer, sizeof buffer - z_.avail_out);
    } while (z_.avail_out == 0);
    return out;
  }

  z_stream z_{};
};

// The server's sequences.
inline constexpr std::string_view kOfferV1("\xFF\xFB\x55", 3);
inline constexpr std::string_view kOfferV2("\xFF\xFB\x56", 3);
inline constexpr std::string_view kStartV1("\xFF\xFA\x55\xFB\xF0", 5);
inline constexpr std::string_view kStartV2("\xFF\xFA\x56\xFF\xF0", 5);
// The client's answers.
inline constexpr std::string_view kDoV1("\xFF\xFD\x55", 3);
inline constexpr std::string_view kDontV1("\xFF\xFE\x55", 3);
inline constexpr std::string_view kDoV2("\xFF\xFD\x56", 3);

}  // namespace tarnel::test
