#include "test_host.h"

#include "text/encoding.h"

namespace tarnel::test {

std::string Render(std::string_view cp1251) {
  std::string out;
  for (std::size_t i = 0; i < cp1251.size(); ++i) {
    const auto c = static_cast<unsigned char>(cp1251[i]);
    if (c == 0x1B) {
      out += "\\e";
    } else if (c == '\r' && i + 1 < cp1251.size() && cp1251[i + 1] == '\n') {
      out += '\n';
      ++i;
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n\n";
    } else if (c < 0x20) {
      static const char* hex = "0123456789ABCDEF";
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  std::string utf8 = text::Cp1251ToUtf8(out);
  const std::string stamp = "07.12.2026 09:05";
  for (std::size_t p; (p = utf8.find(stamp)) != std::string::npos;) utf8.replace(p, stamp.size(), "<stamp>");
  return utf8;
}

}  // namespace tarnel::test
