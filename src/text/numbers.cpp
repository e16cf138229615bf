#include "text/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace tarnel::text {

std::optional<std::int64_t> ReadInteger(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return std::nullopt;
  unsigned long long value = 0;
  const unsigned long long limit = negative ? 9223372036854775808ULL : 9223372036854775807ULL;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return std::nullopt;
    if (value > (limit - static_cast<unsigned long long>(d)) / static_cast<unsigned long long>(base))
      return std::nullopt;
    value = value * static_cast<unsigned long long>(base) + static_cast<unsigned long long>(d);
  }
  if (negative) return value == 9223372036854775808ULL ? INT64_MIN : -static_cast<std::int64_t>(value);
  return static_cast<std::int64_t>(value);
}

std::int64_t IntegerOr(std::string_view s, std::int64_t def) {
  auto v = ReadInteger(s);
  return v ? *v : def;
}

std::optional<long double> ReadFloat(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  s = s.substr(b, e - b);
  if (s.empty()) return std::nullopt;
  // Only the plain decimal form: sign, digits, ".", digits, exponent.
  std::size_t i = 0;
  if (s[i] == '+' || s[i] == '-') ++i;
  std::size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t exp_digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++exp_digits;
    if (exp_digits == 0) return std::nullopt;
  }
  if (i != s.size()) return std::nullopt;
  // from_chars reads "." whatever locale the process runs under.
  long double value = 0;
  const char* begin = s.data() + (s[0] == '+' ? 1 : 0);
  const auto [end, ec] = std::from_chars(begin, s.data() + s.size(), value);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

std::string FormatGeneral(long double v) {
  if (std::isnan(v)) return "NAN";
  if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
  if (v == 0) return "0";
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
  // [-]d.dddddddddddddde[+-]xx, with "." whatever the locale
  std::string s(buf, r.ptr);
  const std::size_t epos = s.find('e');
  std::string mant = s.substr(0, epos);
  const int exp = std::atoi(s.c_str() + epos + 1);
  bool negative = false;
  if (!mant.empty() && mant[0] == '-') {
    negative = true;
    mant.erase(0, 1);
  }
  std::string digits;
  for (char c : mant)
    if (c != '.') digits += c;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out;
  if (exp >= 15 || exp < -5) {
    out = digits.substr(0, 1);
    if (digits.size() > 1) {
      out += '.';
      out.append(digits, 1, std::string::npos);
    }
    out += 'E';
    out += std::to_string(exp);
  } else if (exp >= 0) {
    std::string ip = digits.substr(0, std::min<std::size_t>(digits.size(), exp + 1));
    while (static_cast<int>(ip.size()) < exp + 1) ip += '0';
    out = ip;
    if (static_cast<int>(digits.size()) > exp + 1) {
      out += '.';
      out.append(digits, static_cast<std::size_t>(exp + 1), std::string::npos);
    }
  } else {
    out = "0.";
    out.append(static_cast<std::size_t>(-exp - 1), '0');
    out.append(digits);
  }
  if (negative) out.insert(out.begin(), '-');
  return out;
}

std::string FormatFixed(long double v, int decimals) {
  char buf[512];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) return FormatGeneral(v);
  std::string s(buf, r.ptr);
  if (s == "-0.00" || s == "-0") s.erase(0, 1);
  return s;
}

}  // namespace tarnel::text
