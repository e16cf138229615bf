// Servers that speak another encoding than Windows-1251: the text is
// converted at the socket's edge, so everything inside the client stays
// Windows-1251.  Received text is converted after the telnet pass, sent
// lines before they go out.  A character Windows-1251 lacks, and a byte
// sequence that is not valid, become "?"; a sequence cut by the end of a
// read is completed by the next one.
#pragma once

#include <iconv.h>

#include <string>
#include <string_view>

namespace tarnel {

class CharsetConverter {
 public:
  CharsetConverter() = default;
  ~CharsetConverter();
  CharsetConverter(const CharsetConverter&) = delete;
  CharsetConverter& operator=(const CharsetConverter&) = delete;

  // The server's encoding by the setting's value: empty or "cp1251" (no
  // conversion), "utf-8", "koi8-r".  False for a name we do not know (no
  // conversion then).
  bool Select(std::string_view name);
  bool Active() const { return to_local_ != reinterpret_cast<iconv_t>(-1); }
  const std::string& Name() const { return name_; }

  // Server text to Windows-1251; a cut sequence waits for the next call.
  std::string Decode(std::string_view bytes);
  // A Windows-1251 line in the server's encoding.
  std::string Encode(std::string_view cp1251);
  // A new connection: nothing held back from the last one.
  void Reset() { pending_.clear(); }

 private:
  void Close();
  // Converts what can be converted; returns how many bytes were used.
  std::size_t Convert(iconv_t cd, std::string_view in, std::string& out, bool final, bool utf8_in);

  std::string name_;
  iconv_t to_local_ = reinterpret_cast<iconv_t>(-1);
  iconv_t to_server_ = reinterpret_cast<iconv_t>(-1);
  bool utf8_ = false;
  std::string pending_;
};

}  // namespace tarnel
