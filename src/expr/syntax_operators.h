// The operators as the parser applies them while it reads a formula (direct evaluation).
// These rules serve checking and one-off calculation; compiled formulas compute with
// their own, looser rules.
#pragma once

#include <cstdint>

#include "expr/common_data.h"

namespace ryn {

// Applies the binary operator op (an kOp... code of niporlan.h) with the result left in
// left. Answers 0, 152 when the operand types do not go together, or 164 when a
// concatenation would pass the text limit.
int32_t ApplyBinaryOperator(int32_t op, TCommonData& left, const TCommonData& right);

// Negates a bool in place; 152 for any other type.
int32_t ApplyNot(TCommonData& value);

}  // namespace ryn
