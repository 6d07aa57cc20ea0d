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
  // The digits and the exponent read in place; the text is put together in a buffer of
  // its own and made a string once (this runs for every number written as text).
  const char* p = buf;
  const bool negative = *p == '-';
  if (negative) ++p;
  char digits[48];
  size_t n = 0;
  for (; *p && *p != 'e' && n < sizeof digits; ++p)
    if (*p >= '0' && *p <= '9') digits[n++] = *p;
  int exponent = 0;  // position of the first digit relative to the point
  if (*p == 'e') {
    ++p;
    const bool below = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    for (; *p >= '0' && *p <= '9'; ++p) exponent = exponent * 10 + (*p - '0');
    if (below) exponent = -exponent;
  }
  while (n > 1 && digits[n - 1] == '0') --n;

  // At most a sign, 18 digits, 5 zeros after the point or an exponent of 5 digits.
  char out[64];
  size_t k = 0;
  if (negative) out[k++] = '-';
  // Judged on the rounded value: below 0.00001 means the first digit stands at 1E-6 or lower.
  const bool scientific = exponent + 1 > precision || exponent < -5;
  if (scientific) {
    out[k++] = digits[0];
    if (n > 1) {
      out[k++] = decimalSeparator;
      for (size_t i = 1; i < n; ++i) out[k++] = digits[i];
    }
    out[k++] = 'E';
    k = static_cast<size_t>(std::to_chars(out + k, out + sizeof out, exponent).ptr - out);
  } else if (exponent < 0) {
    out[k++] = '0';
    out[k++] = decimalSeparator;
    for (int i = -exponent - 1; i > 0; --i) out[k++] = '0';
    for (size_t i = 0; i < n; ++i) out[k++] = digits[i];
  } else {
    const size_t intDigits = static_cast<size_t>(exponent) + 1;
    for (size_t i = 0; i < intDigits; ++i) out[k++] = i < n ? digits[i] : '0';
    if (n > intDigits) {
      out[k++] = decimalSeparator;
      for (size_t i = intDigits; i < n; ++i) out[k++] = digits[i];
    }
  }
  return std::string(out, k);
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
