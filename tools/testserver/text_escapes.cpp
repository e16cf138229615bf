#include "text_escapes.h"

#include <cstdint>

namespace tarnel::testserver {
namespace {

struct NamedByte {
  std::string_view name;
  uint8_t value;
};

// Telnet commands and the options a game server talks about.
constexpr NamedByte kNames[] = {
    {"IAC", 255},  {"DONT", 254}, {"DO", 253},      {"WONT", 252},     {"WILL", 251}, {"SB", 250},
    {"GA", 249},   {"NOP", 241},  {"SE", 240},      {"EOR", 239},      {"ECHO", 1},   {"SGA", 3},
    {"TTYPE", 24}, {"NAWS", 31},  {"COMPRESS", 85}, {"COMPRESS2", 86},
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool DecodeText(std::string_view text, std::string& out, std::string& error) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '{') {
      size_t close = text.find('}', i);
      if (close == std::string_view::npos) {
        error = "\"{\" without \"}\" (write \\{ for a brace)";
        return false;
      }
      std::string_view name = text.substr(i + 1, close - i - 1);
      bool found = false;
      for (const NamedByte& n : kNames) {
        if (n.name == name) {
          out.push_back(static_cast<char>(n.value));
          found = true;
          break;
        }
      }
      if (!found) {
        error = "unknown name {" + std::string(name) + "}";
        return false;
      }
      i = close;
      continue;
    }
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (i + 1 == text.size()) {
      error = "\"\\\" at the end of the text (write \\\\ for a backslash)";
      return false;
    }
    char e = text[++i];
    switch (e) {
      case 'e': out.push_back('\x1b'); break;
      case 'r': out.push_back('\r'); break;
      case 'n': out.push_back('\n'); break;
      case 't': out.push_back('\t'); break;
      case '0': out.push_back('\0'); break;
      case '\\': out.push_back('\\'); break;
      case '{': out.push_back('{'); break;
      case '}': out.push_back('}'); break;
      case 'x': {
        int hi = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
        int lo = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (hi < 0 || lo < 0) {
          error = "\\x needs two hex digits";
          return false;
        }
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        break;
      }
      default: error = std::string("unknown escape \\") + e; return false;
    }
  }
  return true;
}

bool DecodeHex(std::string_view hex, std::string& out, std::string& error) {
  out.clear();
  int high = -1;
  for (char c : hex) {
    if (c == ' ' || c == '\t') {
      if (high >= 0) {
        error = "odd number of hex digits";
        return false;
      }
      continue;
    }
    int d = HexDigit(c);
    if (d < 0) {
      error = std::string("not a hex digit: '") + c + "'";
      return false;
    }
    if (high < 0) {
      high = d;
    } else {
      out.push_back(static_cast<char>(high * 16 + d));
      high = -1;
    }
  }
  if (high >= 0) {
    error = "odd number of hex digits";
    return false;
  }
  return true;
}

std::string Describe(std::string_view bytes, size_t max_bytes) {
  std::string out;
  if (bytes.size() > max_bytes) {
    out = "...";
    bytes = bytes.substr(bytes.size() - max_bytes);
  }
  static const char kHex[] = "0123456789ABCDEF";
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    switch (c) {
      case '\x1b': out += "\\e"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      case '{': out += "\\{"; break;
      case '}': out += "\\}"; break;
      default:
        if (b >= 0x20 && b < 0x7f) {
          out.push_back(c);
        } else {
          out += "\\x";
          out.push_back(kHex[b >> 4]);
          out.push_back(kHex[b & 15]);
        }
    }
  }
  return out;
}

}  // namespace tarnel::testserver
