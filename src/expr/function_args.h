// How the built-in function sets read their arguments. Values reach a listener both from
// the checking parser (ints stay ints) and from compiled evaluation (every number is a
// double), so a listener reads numbers by value, not by type.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>

#include "expr/common_data.h"

namespace ryn {

using FunctionArgs = std::span<const TCommonData* const>;

// int and double by value, true as -1, anything else 0.
long double NumberArg(const TCommonData& v);
// NumberArg rounded to the nearest integer (ties to even), held to the 32-bit range.
int32_t IntArg(const TCommonData& v);
// The argument was left empty (an optional parameter).
inline bool IsMissing(const TCommonData& v) { return v.IsNull; }
inline bool IsNumber(const TCommonData& v) { return v.DataType == kDataInt || v.DataType == kDataDouble; }

// std::trunc for 80-bit values without switching the x87 rounding mode (which costs more
// than the rest of a function call): rint gives one of the two neighbours in any mode,
// and a step toward zero fixes the other.
inline long double Truncate(long double x) {
  long double r = std::rint(x);
  if (x >= 0 ? r > x : r < x) r += x >= 0 ? -1 : 1;
  return r;
}

}  // namespace ryn
