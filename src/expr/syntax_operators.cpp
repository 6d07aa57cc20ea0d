#include "expr/syntax_operators.h"

#include <cmath>
#include <limits>

#include "expr/niporlan.h"
#include "expr/syntax_errors.h"
#include "expr/text_limits.h"

namespace ryn {
namespace {

constexpr long double kTolerance = 0.00001L;

bool IsNumber(int32_t type) { return type == kDataInt || type == kDataDouble; }

long double NumberOf(const TCommonData& v) {
  return v.DataType == kDataInt ? static_cast<long double>(v.IntValue) : v.FloatValue;
}

// Arithmetic counts true as -1 and false as 0.
void BoolToInt(TCommonData& v) {
  if (v.DataType == kDataBool) v.SetInt(v.BoolValue ? -1 : 0);
}

void SetIntOrDouble(TCommonData& v, long double x) {
  if (x >= std::numeric_limits<int32_t>::min() && x <= std::numeric_limits<int32_t>::max())
    v.SetInt(static_cast<int32_t>(x));
  else
    v.SetDouble(x);
}

int32_t IntArithmetic(int32_t op, TCommonData& left, int64_t a, int64_t b) {
  switch (op) {
    case kOpAdd: SetIntOrDouble(left, static_cast<long double>(a + b)); return 0;
    case kOpSubtract: SetIntOrDouble(left, static_cast<long double>(a - b)); return 0;
    case kOpMultiply: SetIntOrDouble(left, static_cast<long double>(a * b)); return 0;
    case kOpDivide:
      if (b == 0) {
        left.SetInt(0);
      } else if (a % b == 0) {
        // Exact quotients only: a tolerance here would turn 1000000/999999 into 1.
        SetIntOrDouble(left, static_cast<long double>(a / b));
      } else {
        left.SetDouble(static_cast<long double>(a) / static_cast<long double>(b));
      }
      return 0;
    default: return kErrTypeMismatch;
  }
}

int32_t FloatArithmetic(int32_t op, TCommonData& left, long double a, long double b) {
  switch (op) {
    case kOpAdd: left.SetDouble(a + b); return 0;
    case kOpSubtract: left.SetDouble(std::fabs(a - b) < kTolerance ? 0.0L : a - b); return 0;
    case kOpMultiply: left.SetDouble(a * b); return 0;
    case kOpDivide: left.SetDouble(std::fabs(b) < kTolerance ? 0.0L : a / b); return 0;
    default: return kErrTypeMismatch;
  }
}

int32_t Arithmetic(int32_t op, TCommonData& left, TCommonData right) {
  BoolToInt(left);
  BoolToInt(right);
  int32_t lt = left.DataType;
  int32_t rt = right.DataType;
  if (lt == kDataString || rt == kDataString) {
    if (lt != rt || op != kOpAdd) return kErrTypeMismatch;
    if (left.StrValue.size() + right.StrValue.size() > kMaxFormulaText) return kErrTextTooLong;
    left.StrValue += right.StrValue;
    return 0;
  }
  if (lt == kDataDate || rt == kDataDate) {
    if (lt != rt || op != kOpSubtract) return kErrTypeMismatch;
    SetIntOrDouble(left, std::trunc(static_cast<long double>(left.DateValue) - right.DateValue));
    return 0;
  }
  if (lt == kDataInt && rt == kDataInt) return IntArithmetic(op, left, left.IntValue, right.IntValue);
  if (IsNumber(lt) && IsNumber(rt)) return FloatArithmetic(op, left, NumberOf(left), NumberOf(right));
  return kErrTypeMismatch;
}

int Sign(long double a, long double b, long double tolerance) {
  if (std::fabs(a - b) < tolerance) return 0;
  return a < b ? -1 : 1;
}

// The sign of left against right, or 152.
int32_t CompareOperands(int32_t op, const TCommonData& left, const TCommonData& right, int& c) {
  int32_t lt = left.DataType;
  int32_t rt = right.DataType;
  if (lt == kDataBool || rt == kDataBool) {
    if (lt != rt || (op != kOpEqual && op != kOpNotEqual)) return kErrTypeMismatch;
    c = left.BoolValue == right.BoolValue ? 0 : 1;
  } else if (lt == kDataString || rt == kDataString) {
    if (lt != rt) return kErrTypeMismatch;
    int r = left.StrValue.compare(right.StrValue);
    c = r < 0 ? -1 : (r > 0 ? 1 : 0);
  } else if (lt == kDataDate || rt == kDataDate) {
    if (lt != rt) return kErrTypeMismatch;
    c = Sign(left.DateValue, right.DateValue, kTolerance);
  } else if (lt == kDataInt && rt == kDataInt) {
    c = Sign(left.IntValue, right.IntValue, 0.5L);
  } else if (IsNumber(lt) && IsNumber(rt)) {
    c = Sign(NumberOf(left), NumberOf(right), kTolerance);
  } else {
    return kErrTypeMismatch;
  }
  return 0;
}

int32_t Comparison(int32_t op, TCommonData& left, const TCommonData& right) {
  int c = 0;
  if (int32_t code = CompareOperands(op, left, right, c)) return code;
  bool r = false;
  switch (op) {
    case kOpEqual: r = c == 0; break;
    case kOpNotEqual: r = c != 0; break;
    case kOpGreater: r = c > 0; break;
    case kOpLess: r = c < 0; break;
    case kOpGreaterEqual: r = c >= 0; break;
    case kOpLessEqual: r = c <= 0; break;
    default: return kErrTypeMismatch;
  }
  left.SetBool(r);
  return 0;
}

}  // namespace

int32_t ApplyBinaryOperator(int32_t op, TCommonData& left, const TCommonData& right) {
  // A null operand takes part as the zero value of its type; the result stays null only
  // when both were null.
  bool bothNull = left.IsNull && right.IsNull;
  TCommonData r;
  r.Assign(right);
  left.ClearIfNull();
  r.ClearIfNull();
  left.IsNull = false;
  r.IsNull = false;
  int32_t code = 0;
  switch (op) {
    case kOpAdd:
    case kOpSubtract:
    case kOpMultiply:
    case kOpDivide: code = Arithmetic(op, left, std::move(r)); break;
    case kOpAnd:
    case kOpOr:
      if (left.DataType != kDataBool || r.DataType != kDataBool) return kErrTypeMismatch;
      left.SetBool(op == kOpAnd ? (left.BoolValue && r.BoolValue) : (left.BoolValue || r.BoolValue));
      break;
    default: return Comparison(op, left, r);
  }
  if (code == 0 && bothNull) {
    left.IsNull = true;
    left.Clear();
  }
  return code;
}

int32_t ApplyNot(TCommonData& value) {
  if (value.DataType != kDataBool) return kErrTypeMismatch;
  value.ClearIfNull();
  value.SetBool(!value.BoolValue);
  return 0;
}

}  // namespace ryn
