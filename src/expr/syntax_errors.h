// The numbered errors of formula parsing and function calls, and their fixed messages.
#pragma once

#include <cstdint>
#include <string>

namespace ryn {

constexpr int32_t kSyntaxOk = 0;
constexpr int32_t kErrUnknownSyntax = 1;
constexpr int32_t kErrNoLeftParen = 2;
constexpr int32_t kErrNoRightParen = 3;
constexpr int32_t kErrNoLeftBracket = 4;
constexpr int32_t kErrNoRightBracket = 5;
constexpr int32_t kErrNoLeftBrace = 6;
constexpr int32_t kErrNoRightBrace = 7;
constexpr int32_t kErrNoIdentifier = 8;
constexpr int32_t kErrNoCharacter = 9;
constexpr int32_t kErrNoDigit = 10;
constexpr int32_t kErrNoLetter = 11;
constexpr int32_t kErrNoQuote = 12;
constexpr int32_t kErrNoEquals = 13;
constexpr int32_t kErrNoComma = 14;
constexpr int32_t kErrNeedInt = 15;
constexpr int32_t kErrNeedNumber = 16;
constexpr int32_t kErrNeedString = 17;
constexpr int32_t kErrNeedDate = 18;
constexpr int32_t kErrNeedBool = 19;
constexpr int32_t kErrNoAnd = 20;
constexpr int32_t kErrNoOr = 21;
constexpr int32_t kErrNoNot = 22;
constexpr int32_t kErrNoThen = 23;
constexpr int32_t kErrNoElse = 24;
constexpr int32_t kErrTooManyParens = 51;
constexpr int32_t kErrParenMismatch = 52;
constexpr int32_t kErrQuoteMismatch = 53;
constexpr int32_t kErrBraceMisuse = 54;
constexpr int32_t kErrRangeReversed = 55;
constexpr int32_t kErrRangeNotAtEnd = 56;
constexpr int32_t kErrRangeNeeded = 57;
constexpr int32_t kErrExtraText = 101;
constexpr int32_t kErrBadCharacter = 102;
constexpr int32_t kErrNeedIfExpr = 103;
constexpr int32_t kErrNeedThenExpr = 104;
constexpr int32_t kErrNeedElseExpr = 105;
constexpr int32_t kErrOperatorOverlap = 151;
constexpr int32_t kErrTypeMismatch = 152;
constexpr int32_t kErrRangeOperator = 153;
constexpr int32_t kErrRangeEndBeforeStart = 154;
constexpr int32_t kErrIntOutOfRange = 155;
constexpr int32_t kErrBadCell = 156;
constexpr int32_t kErrBadIdentifier = 157;
constexpr int32_t kErrConditionTwice = 158;
constexpr int32_t kErrBadCondition = 159;
constexpr int32_t kErrPeriodTwice = 160;
constexpr int32_t kErrCellWildcard = 161;
constexpr int32_t kErrStatTwice = 162;
constexpr int32_t kErrDimensionTwice = 163;
constexpr int32_t kErrNoFunction = 201;
constexpr int32_t kErrBadArguments = 202;
// Beyond the fixed table: a concatenation whose text would pass kMaxFormulaText
// (text_limits.h), and memory that ran out while a formula was read or computed.
constexpr int32_t kErrTextTooLong = 164;
constexpr int32_t kErrOutOfMemory = 165;
// A number written as an index beyond the highest its parameter allows.
constexpr int32_t kErrIndexOutOfRange = 166;

// The fixed message of code in the process code page; empty for a code without one.
std::string SyntaxErrorMessage(int32_t code);
// The message of kErrIndexOutOfRange naming the index and the allowed range 0..last.
std::string IndexOutOfRangeMessage(int64_t index, int64_t last);
// "未定义的错误", the message of codes nobody knows.
const std::string& UndefinedErrorMessage();

}  // namespace ryn
