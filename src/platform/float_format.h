// General number format: the shortest decimal form with at most 15 significant digits;
// scientific form ("1.5E20", "1E-6") when more digits than that would stand left of the
// decimal point or the magnitude is below 0.00001.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>

namespace ryn {

// precision: significant digits, 1..18 (7 suits 32-bit floats).
std::string FormatGeneral(long double value, char decimalSeparator = '.', int precision = 15);
inline std::string FormatGeneral(double value, char decimalSeparator = '.', int precision = 15) {
  return FormatGeneral(static_cast<long double>(value), decimalSeparator, precision);
}

// std::from_chars for long double (general format), with its full 64-bit mantissa and range
// on every platform: mingw-w64's libstdc++ reads through a double, so what it matched is
// read again by strtold there. value is left as it was on an error.
std::from_chars_result FromCharsExtended(const char* first, const char* last, long double& value);

// Currency values (scaled by 10000) in general format with up to four decimals.
std::string FormatCurrency(int64_t scaled, char decimalSeparator = '.');

}  // namespace ryn
