// General number format: the shortest decimal form with at most 15 significant digits;
// scientific form ("1.5E20", "1E-6") when more digits than that would stand left of the
// decimal point or the magnitude is below 0.00001.
#pragma once

#include <cstdint>
#include <string>

namespace ryn {

// precision: significant digits, 1..18 (7 suits 32-bit floats).
std::string FormatGeneral(long double value, char decimalSeparator = '.', int precision = 15);
inline std::string FormatGeneral(double value, char decimalSeparator = '.', int precision = 15) {
  return FormatGeneral(static_cast<long double>(value), decimalSeparator, precision);
}

// Currency values (scaled by 10000) in general format with up to four decimals.
std::string FormatCurrency(int64_t scaled, char decimalSeparator = '.');

}  // namespace ryn
