// Reading and writing numbers in texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnel::text {

// Whole numbers as the script language reads them: leading blanks, an
// optional sign, decimal digits or "$"/"0x" followed by hexadecimal digits,
// and nothing after them.  No value when the text is not such a number or
// does not fit in 64 bits.
std::optional<std::int64_t> ReadInteger(std::string_view s);
// The number, or the default when the text is not a number.
std::int64_t IntegerOr(std::string_view s, std::int64_t def);

// Decimal numbers with "." as the decimal point and an optional exponent;
// blanks around the number are allowed.
std::optional<long double> ReadFloat(std::string_view s);

// The general format with up to 15 significant digits: "3", "0.5",
// "1.33333333333333", "1E20", "1.5E-7".
std::string FormatGeneral(long double v);
// Fixed format with exactly the given number of decimals ("0.33").
std::string FormatFixed(long double v, int decimals);

}  // namespace tarnel::text
