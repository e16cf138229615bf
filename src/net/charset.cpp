#include "net/charset.h"

#include <cerrno>


namespace tarnel {

namespace {

const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

// The length of the UTF-8 sequence at the start of s when it is whole and
// well formed, else 0.
std::size_t Utf8Sequence(std::string_view s) {
  if (s.empty()) return 0;
  const auto lead = static_cast<unsigned char>(s[0]);
  std::size_t n = 0;
  if (lead >= 0xC2 && lead <= 0xDF)
    n = 2;
  else if (lead >= 0xE0 && lead <= 0xEF)
    n = 3;
  else if (lead >= 0xF0 && lead <= 0xF4)
    n = 4;
  if (n == 0 || s.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i)
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0;
  return n;
}

}  // namespace

CharsetConverter::~CharsetConverter() { Close(); }

void CharsetConverter::Close() {
  if (to_local_ != kNone) iconv_close(to_local_);
  if (to_server_ != kNone) iconv_close(to_server_);
  to_local_ = to_server_ = kNone;
  pending_.clear();
}

bool CharsetConverter::Select(std::string_view name) {
  std::string folded;
  for (char c : name) folded += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (folded == name_ && (Active() || folded.empty() || folded == "cp1251")) return true;
  Close();
  name_ = folded;
  const char* server = nullptr;
  if (folded == "utf-8" || folded == "utf8")
    server = "UTF-8";
  else if (folded == "koi8-r" || folded == "koi8r")
    server = "KOI8-R";
  else
    return folded.empty() || folded == "cp1251" || folded == "windows-1251";
  to_local_ = iconv_open("CP1251", server);
  to_server_ = iconv_open(server, "CP1251");
  if (to_local_ == kNone || to_server_ == kNone) {
    Close();
    return false;
  }
  utf8_ = folded.rfind("utf", 0) == 0;
  return true;
}

std::size_t CharsetConverter::Convert(iconv_t cd, std::string_view in, std::string& out, bool final,
                                      bool utf8_in) {
  std::size_t used = 0;
  char buffer[4096];
  while (used < in.size()) {
    char* src = const_cast<char*>(in.data() + used);
    std::size_t src_left = in.size() - used;
    char* dst = buffer;
    std::size_t dst_left = sizeof buffer;
    const std::size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
    used = in.size() - src_left;
    if (r != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    if (errno == EINVAL && !final) break;  // cut: the rest comes with the next read
    // Not valid, or nothing Windows-1251 has: one "?" for the whole character.
    out += '?';
    const std::size_t whole = utf8_in ? Utf8Sequence(in.substr(used)) : 0;
    used += whole > 0 ? whole : 1;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return used;
}

std::string CharsetConverter::Decode(std::string_view bytes) {
  if (!Active()) return std::string(bytes);
  std::string in;
  std::string_view view = bytes;
  if (!pending_.empty()) {
    in = std::move(pending_);
    in.append(bytes);
    view = in;
  }
  pending_.clear();
  std::string out;
  out.reserve(view.size());
  const std::size_t used = Convert(to_local_, view, out, false, utf8_);
  // A cut sequence is never longer than a character: anything longer held
  // back is a fault of the server's and goes out as "?".
  if (view.size() - used > 4) {
    Convert(to_local_, view.substr(used), out, true, utf8_);
  } else {
    pending_.assign(view.substr(used));
  }
  return out;
}

std::string CharsetConverter::Encode(std::string_view cp1251) {
  if (!Active()) return std::string(cp1251);
  std::string out;
  out.reserve(cp1251.size() * 2);
  Convert(to_server_, cp1251, out, true, false);
  return out;
}

}  // namespace tarnel
