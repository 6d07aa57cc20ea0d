// ABS, INT, ROUND, MOD, POWER.
#include <cmath>
#include <limits>

#include "expr/common_functions_internal.h"
#include "expr/syntax_errors.h"

namespace ryn::common_functions {
namespace {

constexpr long double kTolerance = 0.00001L;
// A fraction above this rounds as a half would: values such as 1.005 * 100 land a hair
// below .5 in binary and must still round up.
constexpr long double kRoundHalf = 0.5L - kTolerance;

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
  result.SetDouble(std::trunc(NumberArg(*args[0])));
  return 0;
}

// Halves round away from zero.
int32_t Round(FunctionArgs args, TCommonData& result) {
  const long double value = NumberArg(*args[0]);
  long double f = std::pow(10.0L, static_cast<long double>(IntArg(*args[1])));
  if (!std::isfinite(f) || f == 0) f = 1;
  const long double c = value * f;
  const long double whole = std::trunc(c);
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
  const long double whole = std::trunc(q >= 0 ? q + kTolerance : q - kTolerance);
  result.SetDouble(value - m * whole);
  return 0;
}

int32_t Power(FunctionArgs args, TCommonData& result) {
  const long double value = NumberArg(*args[0]);
  const long double exponent = NumberArg(*args[1]);
  if (value < 0 && std::fabs(exponent - std::trunc(exponent)) > kTolerance) {
    result.SetDouble(1);
    return 0;
  }
  long double r = std::pow(value, exponent);
  if (!std::isfinite(r)) r = 0;
  result.SetDouble(r);
  return 0;
}

}  // namespace ryn::common_functions
