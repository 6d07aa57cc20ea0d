// ABS, INT, ROUND, MOD, POWER.
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "expr/common_functions_internal.h"
#include "expr/syntax_errors.h"

namespace ryn::common_functions {
namespace {

constexpr long double kTolerance = 0.00001L;
// A fraction above this rounds as a half would: values such as 1.005 * 100 land a hair
// below .5 in binary and must still round up.
constexpr long double kRoundHalf = 0.5L - kTolerance;

// 10 to the power d; 1 when that is no usable factor.
long double PowerOfTen(int32_t d) {
  // Up to 10^27 the powers are exact in 80 bits; a table spares a general power.
  static const auto kPowers = [] {
    std::array<long double, 28> p{};
    p[0] = 1;
    for (size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
    return p;
  }();
  const uint32_t magnitude = d < 0 ? 0u - static_cast<uint32_t>(d) : static_cast<uint32_t>(d);
  long double f = magnitude < kPowers.size() ? kPowers[magnitude] : std::pow(10.0L, static_cast<long double>(magnitude));
  if (d < 0) f = 1 / f;
  return std::isfinite(f) && f != 0 ? f : 1;
}

}  // namespace

int32_t Abs(FunctionArgs args, TCommonData& result) {
  const TCommonData& v = *args[0];
  if (v.DataType == kDataInt) {
    // The magnitude of the smallest int does not fit an int.
    if (v.IntValue == std::numeric_limits<int32_t>::min()) result.SetDouble(-static_cast<long double>(v.IntValue));
    else result.SetInt(v.IntValue < 0 ? -v.IntValue : v.IntValue);
    return 0;
  }
  if (v.DataType != kDataDouble) return kErrBadArguments;
  result.SetDouble(std::fabs(v.FloatValue));
  return 0;
}

int32_t Int(FunctionArgs args, TCommonData& result) {
  result.SetDouble(Truncate(NumberArg(*args[0])));
  return 0;
}

// Halves round away from zero.
int32_t Round(FunctionArgs args, TCommonData& result) {
  const long double value = NumberArg(*args[0]);
  const long double f = PowerOfTen(IntArg(*args[1]));
  const long double c = value * f;
  const long double whole = Truncate(c);
  long double r;
  if (std::fabs(c - whole) <= kRoundHalf) r = whole / f;
  else r = (value >= 0 ? whole + 1 : whole - 1) / f;
  result.SetDouble(r);
  return 0;
}

int32_t Mod(FunctionArgs args, TCommonData& result) {
  const long double value = NumberArg(*args[0]);
  const long double m = NumberArg(*args[1]);
  if (m == 0) {
    result.SetDouble(0);
    return 0;
  }
  // The tolerance absorbs quotients a hair short of a whole number; it points away from
  // zero so that exact negative quotients (-6 / 3) stay whole too.
  const long double q = value / m;
  const long double whole = Truncate(q >= 0 ? q + kTolerance : q - kTolerance);
  result.SetDouble(value - m * whole);
  return 0;
}

int32_t Power(FunctionArgs args, TCommonData& result) {
  const long double value = NumberArg(*args[0]);
  const long double exponent = NumberArg(*args[1]);
  if (value < 0 && std::fabs(exponent - Truncate(exponent)) > kTolerance) {
    result.SetDouble(1);
    return 0;
  }
  long double r = std::pow(value, exponent);
  if (!std::isfinite(r)) r = 0;
  result.SetDouble(r);
  return 0;
}

}  // namespace ryn::common_functions
