// The expression grammar, loosest binding first: OR, AND, one comparison, sums, terms,
// factors. Operators are applied as soon as both operands are read (direct evaluation)
// and emitted after them (compile mode).
#include <charconv>
#include <cmath>

#include "expr/syntax_errors.h"
#include "expr/syntax_operators.h"
#include "expr/syntax_parser.h"
#include "expr/syntax_parser_internal.h"
#include "expr/syntax_text.h"
#include "platform/codepage.h"
#include "platform/float_format.h"

namespace ryn {
namespace {

// Literals from 2147483647 up are doubles, so that the magnitude of every int literal
// also fits when negated.
constexpr long double kIntLiteralLimit = 2147483647.0L;

bool IsKeyword(std::string_view name) {
  return name == "IF" || name == "THEN" || name == "ELSE" || name == "AND" || name == "OR" || name == "NOT";
}

}  // namespace

bool TSyntaxParser::Binary(int32_t op, TSyntaxData& left, const TSyntaxData& right) {
  if (int32_t code = ApplyBinaryOperator(op, left, right)) return Fail(code);
  EmitOp(op);
  return true;
}

bool TSyntaxParser::Expression(TSyntaxData& v) {
  if (!AndTerm(v)) return false;
  for (;;) {
    SkipSpaces();
    if (ch_ != 'O') return true;
    if (!AtKeyword("OR")) return Fail(kErrNoOr);
    Say(Ansi(" 或者 "));
    Seek(pos_ + 2);
    PoolScope scope(*this);
    TSyntaxData& right = scope.Take();
    if (!AndTerm(right) || !Binary(kOpOr, v, right)) return false;
  }
}

bool TSyntaxParser::AndTerm(TSyntaxData& v) {
  if (!Relation(v)) return false;
  for (;;) {
    SkipSpaces();
    if (ch_ != 'A') return true;
    if (!AtKeyword("AND")) return Fail(kErrNoAnd);
    Say(Ansi(" 并且 "));
    Seek(pos_ + 3);
    PoolScope scope(*this);
    TSyntaxData& right = scope.Take();
    if (!Relation(right) || !Binary(kOpAnd, v, right)) return false;
  }
}

bool TSyntaxParser::Relation(TSyntaxData& v) {
  if (!Sum(v)) return false;
  SkipSpaces();
  int32_t op = 0;
  size_t len = 1;
  if (ch_ == '=') {
    op = kOpEqual;
  } else if (ch_ == '<') {
    unsigned char n = ByteAfter();
    op = n == '>' ? kOpNotEqual : n == '=' ? kOpLessEqual : kOpLess;
    len = op == kOpLess ? 1 : 2;
  } else if (ch_ == '>') {
    op = ByteAfter() == '=' ? kOpGreaterEqual : kOpGreater;
    len = op == kOpGreater ? 1 : 2;
  } else {
    return true;
  }
  Say(std::string_view(text_).substr(pos_ - 1, len));
  Seek(pos_ + len);
  PoolScope scope(*this);
  TSyntaxData& right = scope.Take();
  return Sum(right) && Binary(op, v, right);
}

// A leading sign multiplies the first term by 1 or -1, so it also checks the type.
bool TSyntaxParser::Sum(TSyntaxData& v) {
  SkipSpaces();
  int32_t sign = 0;
  if (ch_ == '+') {
    sign = 1;
    Say("+");
    Next();
    SkipSpaces();
  }
  if (ch_ == '-') {
    if (sign != 0) return Fail(kErrOperatorOverlap);
    sign = -1;
    Say("-");
    Next();
    SkipSpaces();
  }
  if (!Term(v)) return false;
  if (sign != 0) {
    TCommonData factor;
    factor.SetInt(sign);
    if (int32_t code = ApplyBinaryOperator(kOpMultiply, v, factor)) return Fail(code);
    if (sign < 0) EmitOp(kOpNegate);
  }
  for (;;) {
    SkipSpaces();
    if (ch_ != '+' && ch_ != '-') return true;
    int32_t op = ch_ == '+' ? kOpAdd : kOpSubtract;
    Say(op == kOpAdd ? "+" : "-");
    Next();
    PoolScope scope(*this);
    TSyntaxData& right = scope.Take();
    if (!Term(right) || !Binary(op, v, right)) return false;
  }
}

bool TSyntaxParser::Term(TSyntaxData& v) {
  if (!Factor(v)) return false;
  for (;;) {
    SkipSpaces();
    if (ch_ != '*' && ch_ != '/') return true;
    int32_t op = ch_ == '*' ? kOpMultiply : kOpDivide;
    Say(op == kOpMultiply ? "*" : "/");
    Next();
    PoolScope scope(*this);
    TSyntaxData& right = scope.Take();
    if (!Factor(right) || !Binary(op, v, right)) return false;
  }
}

bool TSyntaxParser::Factor(TSyntaxData& v) {
  struct Depth {
    int& level_;
    explicit Depth(int& level) : level_(++level) {}
    ~Depth() { --level_; }
  } depth(depth_);
  SkipSpaces();
  if (depth_ > kMaxNesting) return Fail(kErrTooManyParens);
  if (AtEnd()) return Fail(kErrNoCharacter);
  if (ch_ == '"') return StringLiteral(v);
  if (IsDigit(ch_) || (ch_ == '-' && IsDigit(ByteAfter()))) return NumberLiteral(v);
  if (ch_ == '(') {
    Say("(");
    Next();
    if (!Expression(v)) return false;
    SkipSpaces();
    if (ch_ != ')') return Fail(kErrNoRightParen);
    Say(")");
    Next();
    return true;
  }
  if (ch_ == '%') return PercentCall(v);
  if (ch_ == '[') {
    PoolScope scope(*this);
    TSyntaxCell& cell = scope.Take().Cell;
    return BracketCell(cell) && CellOperand(cell, v);
  }
  if (IsIdentStart(ch_)) return IdentifierFactor(v);
  return Fail(kErrBadCharacter);
}

// A call, NOT, a table-qualified cell or a named cell.
bool TSyntaxParser::IdentifierFactor(TSyntaxData& v) {
  std::string name = ReadIdentifier();
  SkipSpaces();
  if (ch_ == '(') return FunctionCall(name, v);
  if (name == "NOT") {
    Say(Ansi("非 "));
    if (!Relation(v)) return false;
    if (ApplyNot(v) != 0) return Fail(kErrTypeMismatch);
    EmitOp(kOpNot);
    return true;
  }
  if (IsKeyword(name)) return Fail(kErrBadIdentifier);
  PoolScope scope(*this);
  TSyntaxCell& cell = scope.Take().Cell;
  return CellAfterIdentifier(std::move(name), cell) && CellOperand(cell, v);
}

// Digits, optionally "." and digits; a "-" right before the first digit belongs to it.
bool TSyntaxParser::NumberLiteral(TSyntaxData& v) {
  size_t start = pos_;
  bool negative = ch_ == '-';
  if (negative) Next();
  std::string digits;
  while (IsDigit(ch_)) {
    digits += static_cast<char>(ch_);
    Next();
  }
  bool isFloat = ch_ == '.';
  if (isFloat) {
    Next();
    if (IsDigit(ch_)) digits += '.';
    while (IsDigit(ch_)) {
      digits += static_cast<char>(ch_);
      Next();
    }
  }
  long double x = 0;
  auto [end, ec] = FromCharsExtended(digits.data(), digits.data() + digits.size(), x);
  if (ec == std::errc::result_out_of_range) x = HUGE_VALL;
  (void)end;
  if (negative) x = -x;
  if (isFloat || std::fabs(x) >= kIntLiteralLimit) v.SetDouble(x);
  else v.SetInt(static_cast<int32_t>(x));
  Emit(std::make_unique<TNiporlanItem>(v));
  Say(std::string_view(text_).substr(start - 1, pos_ - start));
  return true;
}

// Up to the next double quote; there are no escapes.
bool TSyntaxParser::StringLiteral(TSyntaxData& v) {
  Next();
  size_t start = pos_;
  while (!AtEnd() && ch_ != '"') Next();
  if (AtEnd()) return Fail(kErrNoQuote);
  v.SetString(text_.substr(start - 1, pos_ - start));
  Next();
  Emit(std::make_unique<TNiporlanItem>(v));
  Say("\"" + v.StrValue + "\"");
  return true;
}

// An expression that must give an int: brace-list items and the row and column of a
// cell. Nothing of it is compiled or described.
bool TSyntaxParser::IntExpression(int32_t& out, bool sumOnly) {
  Quiet quiet(*this);
  PoolScope scope(*this);
  TSyntaxData& v = scope.Take();
  size_t itemPos = pos_;
  if (!(sumOnly ? Sum(v) : Expression(v))) return false;
  if (v.DataType != kDataInt) return FailAt(kErrNeedInt, itemPos);
  out = v.IntValue;
  return true;
}

}  // namespace ryn
