#include "script/exact_line.h"

namespace tarnel {

namespace {

constexpr std::string_view kSet = "exact set ";
constexpr std::string_view kInclude = "exact include ";
// The kind words a profile writes.
constexpr std::string_view kKindWords[] = {"macro", "hotkey", "trig", "func", "arg", "var"};

bool Escaped(unsigned char c) { return c < 0x20 || c == 0x7F || c == '\\' || c == '{' || c == '}'; }

void AppendField(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '{';
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (Escaped(c)) {
      out += '\\';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  out += '}';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads a braced field at the front of s into out and drops it from s.
bool ReadField(std::string_view& s, std::string& out) {
  if (s.empty() || s.front() != '{') return false;
  std::size_t i = 1;
  for (;;) {
    if (i >= s.size()) return false;
    const char c = s[i];
    if (c == '}') break;
    if (c == '{') return false;
    if (c == '\\') {
      if (i + 2 >= s.size()) return false;
      const int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
      if (hi < 0 || lo < 0) return false;
      out += static_cast<char>(hi * 16 + lo);
      i += 3;
    } else {
      out += c;
      ++i;
    }
  }
  s.remove_prefix(i + 1);
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string WriteExactLine(const ExactLine& entry) {
  std::string out;
  out.reserve(entry.name.size() + entry.value.size() + 32);
  if (entry.kind_word.empty()) {
    out += kInclude;
  } else {
    out += kSet;
    out += entry.kind_word;
    out += ' ';
    AppendField(out, entry.name);
    out += '=';
  }
  AppendField(out, entry.value);
  return out;
}

std::optional<ExactLine> ReadExactLine(std::string_view line) {
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
  ExactLine e;
  if (line.substr(0, kInclude.size()) == kInclude) {
    line.remove_prefix(kInclude.size());
    if (!ReadField(line, e.value) || !line.empty()) return std::nullopt;
    return e;
  }
  if (line.substr(0, kSet.size()) != kSet) return std::nullopt;
  line.remove_prefix(kSet.size());
  const auto blank = line.find(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  const std::string_view word = line.substr(0, blank);
  bool known = false;
  for (std::string_view k : kKindWords) known = known || k == word;
  if (!known) return std::nullopt;
  e.kind_word.assign(word);
  line.remove_prefix(blank + 1);
  if (!ReadField(line, e.name) || line.empty() || line.front() != '=') return std::nullopt;
  line.remove_prefix(1);
  if (!ReadField(line, e.value) || !line.empty()) return std::nullopt;
  return e;
}

}  // namespace tarnel
