// Cell references: NAME, TABLE[...] and [...] with their items, the unit suffix, ranges
// "a & b", and the resolution of cells through the cell providers.
#include <algorithm>

#include "expr/syntax_errors.h"
#include "expr/syntax_operators.h"
#include "expr/syntax_parser.h"
#include "expr/syntax_parser_internal.h"
#include "expr/syntax_text.h"

namespace ryn {
namespace {

// A name with a trailing "$" is an absolute reference.
bool SetCellName(TSyntaxCell& cell, std::string name) {
  if (name.size() > kMaxNameLength) return false;
  if (!name.empty() && name.back() == '$') {
    name.pop_back();
    cell.Absolute = true;
  }
  cell.ByName = true;
  cell.Name = std::move(name);
  return true;
}

// Splits "Y12" into the period word and its count.
bool SplitPeriodCount(const std::string& word, int32_t& kind, int32_t& count) {
  size_t digits = word.size();
  while (digits > 0 && IsDigit(static_cast<unsigned char>(word[digits - 1]))) --digits;
  if (digits == word.size() || digits == 0 || word.size() - digits > 9) return false;
  kind = FindPeriod(std::string_view(word).substr(0, digits));
  count = std::stoi(word.substr(digits));
  return kind != 0;
}

}  // namespace

bool TSyntaxParser::CellSyntax(TSyntaxCell& cell) {
  cell.Reset();
  if (ch_ == '[') return BracketCell(cell);
  if (!IsIdentStart(ch_)) return Fail(kErrBadCell);
  std::string name = ReadIdentifier();
  SkipSpaces();
  return CellAfterIdentifier(std::move(name), cell);
}

// After an identifier and the spaces behind it: TABLE[...] or a named cell.
bool TSyntaxParser::CellAfterIdentifier(std::string name, TSyntaxCell& cell) {
  cell.Reset();
  if (ch_ == '[') {
    if (name.size() > kMaxNameLength) return Fail(kErrBadIdentifier);
    if (!BracketCell(cell)) return false;
    cell.TableName = std::move(name);
    return true;
  }
  if (!SetCellName(cell, std::move(name))) return Fail(kErrBadIdentifier);
  SkipSpaces();
  return UnitSuffix(cell);
}

// "[" NAME["$"] | ROW "," COL, then { "," item } "]" and the unit suffix.
bool TSyntaxParser::BracketCell(TSyntaxCell& cell) {
  cell.Reset();
  Next();
  SkipSpaces();
  size_t save = pos_;
  bool named = false;
  if (IsIdentStart(ch_)) {
    std::string name = ReadIdentifier();
    SkipSpaces();
    // A row given by a call, such as [ABS(X),1], is an expression, not a name.
    named = ch_ != '(';
    if (named && !SetCellName(cell, std::move(name))) return Fail(kErrBadIdentifier);
    if (!named) Seek(save);
  }
  if (!named) {
    cell.ByName = false;
    if (ch_ == '*') return Fail(kErrCellWildcard);
    if (!IntExpression(cell.Row, true)) return false;
    SkipSpaces();
    if (ch_ != ',') return Fail(kErrNoComma);
    Next();
    SkipSpaces();
    if (ch_ == '*') return Fail(kErrCellWildcard);
    if (!IntExpression(cell.Col, true)) return false;
  }
  CellItemsSeen seen;
  for (;;) {
    SkipSpaces();
    if (ch_ == ']') break;
    if (ch_ != ',') return Fail(kErrNoRightBracket);
    Next();
    SkipSpaces();
    if (!CellItem(cell, seen)) return false;
  }
  Next();
  SkipSpaces();
  return UnitSuffix(cell);
}

// One item after a ",": 'condition', [sign]digits[word], word[[sign]digits], or NAME=value.
bool TSyntaxParser::CellItem(TSyntaxCell& cell, CellItemsSeen& seen) {
  if (ch_ == '\'') {
    if (seen.condition) return Fail(kErrConditionTwice);
    size_t close = text_.find('\'', pos_);
    if (close == std::string::npos) {
      Seek(text_.size() + 1);
      return Fail(kErrBadCondition);
    }
    cell.HasCondition = true;
    cell.Condition = text_.substr(pos_, close - pos_);
    seen.condition = true;
    Seek(close + 2);
    return true;
  }
  if (IsDigit(ch_) || ch_ == '+' || ch_ == '-') {
    int32_t count = 0;
    if (!SignedInt(count)) return false;
    std::string word = IsIdentStart(ch_) ? ReadIdentifier() : std::string();
    int32_t kind = word.empty() ? 0 : FindPeriod(word);
    if (!word.empty() && kind == 0) return Fail(kErrBadCell);
    return CellPeriod(cell, seen, kind, true, count);
  }
  if (!IsIdentStart(ch_)) return Fail(kErrBadCell);
  std::string word = ReadIdentifier();
  if (ch_ == '=') return CellDimension(cell, word);
  if (int32_t stat = FindStat(word)) {
    if (seen.stat) return Fail(kErrStatTwice);
    seen.stat = true;
    cell.StatMode = stat;
    return true;
  }
  int32_t kind = FindPeriod(word);
  if (kind != 0) {
    bool hasCount = IsDigit(ch_) || ((ch_ == '+' || ch_ == '-') && IsDigit(ByteAfter()));
    int32_t count = 0;
    if (hasCount && !SignedInt(count)) return false;
    return CellPeriod(cell, seen, kind, hasCount, count);
  }
  int32_t count = 0;
  if (SplitPeriodCount(word, kind, count)) return CellPeriod(cell, seen, kind, true, count);
  return Fail(kErrBadCell);
}

// The year period with a count is an offset in years; any other period, or a bare count,
// selects the period.
bool TSyntaxParser::CellPeriod(TSyntaxCell& cell, CellItemsSeen& seen, int32_t kind, bool hasCount,
                               int32_t count) {
  if (kind == kPeriodYear && hasCount) {
    if (seen.offset) return Fail(kErrPeriodTwice);
    seen.offset = true;
    cell.OffsetCount = count;
    return true;
  }
  if (seen.period) return Fail(kErrPeriodTwice);
  seen.period = true;
  cell.PeriodKind = kind;
  cell.PeriodCount = hasCount ? count : 0;
  return true;
}

// NAME "=" value, the value in double quotes or running to a space, "]" or ",".
bool TSyntaxParser::CellDimension(TSyntaxCell& cell, const std::string& name) {
  for (const std::string& d : cell.Dimensions)
    if (d.size() > name.size() && d.compare(0, name.size(), name) == 0 && d[name.size()] == '=')
      return Fail(kErrDimensionTwice);
  Next();
  std::string value;
  if (ch_ == '"') {
    size_t close = text_.find('"', pos_);
    if (close == std::string::npos) {
      Seek(text_.size() + 1);
      return Fail(kErrBadCell);
    }
    value = text_.substr(pos_, close - pos_);
    Seek(close + 2);
  } else {
    while (!AtEnd() && ch_ != ' ' && ch_ != ']' && ch_ != ',') {
      value.append(text_, pos_ - 1, chLen_);
      Next();
    }
  }
  cell.Dimensions.push_back(name + "=" + value);
  return true;
}

bool TSyntaxParser::SignedInt(int32_t& out) {
  size_t start = pos_;
  bool negative = ch_ == '-';
  if (ch_ == '+' || ch_ == '-') Next();
  if (!IsDigit(ch_)) return Fail(kErrBadCell);
  int64_t n = 0;
  while (IsDigit(ch_)) {
    n = n * 10 + (ch_ - '0');
    if (n > INT32_MAX) return FailAt(kErrIntOutOfRange, start);
    Next();
  }
  out = static_cast<int32_t>(negative ? -n : n);
  return true;
}

bool TSyntaxParser::UnitSuffix(TSyntaxCell& cell) {
  if (ch_ != '@') return true;
  Next();
  size_t start = pos_;
  while (!AtEnd() && IsIdentChar(ch_)) Next();
  if (pos_ == start) return Fail(kErrBadCell);
  cell.UnitSuffix = text_.substr(start - 1, pos_ - start);
  return true;
}

// A parsed cell as a value: alone, or the first of a range "first & second".
bool TSyntaxParser::CellOperand(TSyntaxCell& first, TSyntaxData& v) {
  SkipSpaces();
  if (ch_ != '&') {
    if (!ResolveCell(first)) return false;
    v.Assign(first.Value);
    v.Cell.Assign(first);
    Emit(std::make_unique<TNiporlanItem>(first));
    Say(CellReading(first));
    return true;
  }
  Next();
  SkipSpaces();
  PoolScope scope(*this);
  TSyntaxCell& second = scope.Take().Cell;
  if (!CellSyntax(second)) return false;
  return CellRange(first, second, v);
}

// The sum of the int and double cells of the rectangle from a to b.
bool TSyntaxParser::CellRange(const TSyntaxCell& a, const TSyntaxCell& b, TSyntaxData& v) {
  if (a.ByName || b.ByName) return Fail(kErrRangeOperator);
  if (b.Row < a.Row || b.Col < a.Col) return Fail(kErrRangeEndBeforeStart);
  if (a.TableName != b.TableName || a.OffsetCount != b.OffsetCount || a.PeriodKind != b.PeriodKind ||
      a.PeriodCount != b.PeriodCount)
    return Fail(kErrTypeMismatch);
  int64_t cells = (static_cast<int64_t>(b.Row) - a.Row + 1) * (static_cast<int64_t>(b.Col) - a.Col + 1);
  if (cells > static_cast<int64_t>(kMaxListEntries)) return Fail(kErrIntOutOfRange);

  PoolScope scope(*this);
  TSyntaxCell& cell = scope.Take().Cell;
  bool first = true;
  for (int64_t row = a.Row; row <= b.Row; ++row) {
    for (int64_t col = a.Col; col <= b.Col; ++col) {
      cell.Assign(a);
      cell.Row = static_cast<int32_t>(row);
      cell.Col = static_cast<int32_t>(col);
      if (!ResolveCell(cell)) return false;
      cell.Value.ClearIfNull();
      if (cell.Value.DataType != kDataInt && cell.Value.DataType != kDataDouble) return Fail(kErrTypeMismatch);
      if (first) {
        v.Assign(cell.Value);
        v.IsNull = false;
      } else if (ApplyBinaryOperator(kOpAdd, v, cell.Value) != 0) {
        return Fail(kErrTypeMismatch);
      }
      Emit(std::make_unique<TNiporlanItem>(cell));
      if (!first) EmitOp(kOpAdd);
      first = false;
    }
  }
  Say(CellReading(a) + "&" + CellReading(b));
  return true;
}

bool TSyntaxParser::ResolveCell(TSyntaxCell& cell) { return FetchCellValue(cell) || Fail(kErrUnknownSyntax); }

bool TSyntaxParser::FetchCellValue(TSyntaxCell& cell) {
  if (!cellsEnabled_) return false;
  for (const auto& p : providers_)
    if (p->GetCellValue(cell)) return true;
  return false;
}

bool TSyntaxParser::StoreCellValue(const TSyntaxCell& cell) {
  for (const auto& p : providers_)
    if (p->SetCellValue(cell)) return true;
  return false;
}

std::string TSyntaxParser::CellReading(const TSyntaxCell& cell) {
  if (!describe_ || quiet_ != 0) return {};
  for (const auto& p : providers_)
    if (std::string s = p->DescribeCell(cell); !s.empty()) return s;
  return cell.AsText();
}

}  // namespace ryn
