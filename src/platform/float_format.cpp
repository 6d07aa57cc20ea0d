#include "platform/float_format.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace ryn {

std::from_chars_result FromCharsExtended(const char* first, const char* last, long double& value) {
  long double v = 0;
  std::from_chars_result r = std::from_chars(first, last, v, std::chars_format::general);
#ifdef _WIN32
  if (r.ptr != first && (r.ec == std::errc() || r.ec == std::errc::result_out_of_range)) {
    const std::string matched(first, r.ptr);
    errno = 0;
    v = std::strtold(matched.c_str(), nullptr);
    r.ec = errno == ERANGE ? std::errc::result_out_of_range : std::errc();
  }
#endif
  if (r.ec == std::errc()) value = v;
  return r;
}

std::string FormatGeneral(long double value, char decimalSeparator, int precision) {
  if (precision < 1) precision = 1;
  if (precision > 18) precision = 18;
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";

  // Round to the significant digits: d.ddd...e[+-]x. Both conversions round the exact
  // binary value correctly (ties to even), so they give the same digits; the one for
  // doubles costs a fraction of printf, and most numbers formatted are doubles.
  char buf[64];
  const double asDouble = static_cast<double>(value);
  if (precision <= 17 && static_cast<long double>(asDouble) == value) {
    auto r = std::to_chars(buf, buf + sizeof buf - 1, asDouble, std::chars_format::scientific, precision - 1);
    *r.ptr = '\0';
  } else {
    std::snprintf(buf, sizeof buf, "%.*Le", precision - 1, value);
  }
  const char* p = buf;
  bool negative = *p == '-';
  if (negative) ++p;
  std::string digits;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  int exponent = std::atoi(p + 1);  // position of the first digit relative to the point
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  // Judged on the rounded value: below 0.00001 means the first digit stands at 1E-6 or lower.
  bool scientific = exponent + 1 > precision || exponent < -5;
  if (scientific) {
    out += digits[0];
    if (digits.size() > 1) {
      out += decimalSeparator;
      out.append(digits, 1, std::string::npos);
    }
    out += 'E';
    out += std::to_string(exponent);
    return out;
  }
  if (exponent < 0) {
    out += '0';
    out += decimalSeparator;
    out.append(static_cast<size_t>(-exponent - 1), '0');
    out += digits;
    return out;
  }
  size_t intDigits = static_cast<size_t>(exponent) + 1;
  if (digits.size() <= intDigits) {
    out += digits;
    out.append(intDigits - digits.size(), '0');
  } else {
    out.append(digits, 0, intDigits);
    out += decimalSeparator;
    out.append(digits, intDigits, std::string::npos);
  }
  return out;
}

std::string FormatCurrency(int64_t scaled, char decimalSeparator) {
  bool negative = scaled < 0;
  uint64_t v = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::string out = (negative ? "-" : "") + std::to_string(v / 10000);
  uint64_t frac = v % 10000;
  if (frac != 0) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04u", static_cast<unsigned>(frac));
    std::string f(buf);
    while (f.back() == '0') f.pop_back();
    out += decimalSeparator;
    out += f;
  }
  return out;
}

}  // namespace ryn
