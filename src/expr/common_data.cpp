#include "expr/common_data.h"

#include <cmath>

#include "platform/codepage.h"
#include "platform/float_format.h"
#include "platform/locale_settings.h"
#include "platform/text.h"

namespace ryn {
namespace {

constexpr long double kTolerance = 0.00001L;

constexpr std::string_view kPeriodLetters[kPeriodCount + 1] = {"", "N", "H", "J", "Y", "X", "Z", "R", "B"};
constexpr std::string_view kPeriodWordsUtf8[kPeriodCount + 1] = {"", "年", "半年", "季", "月", "旬", "周", "日", "期"};
constexpr std::string_view kStatWords[kStatCount + 1] = {"",    "SUM",   "COUNT", "MAX",    "MIN",
                                                         "AVG", "FIRST", "LAST",  "LJ", "AUTOSUM"};

template <class T>
int Sign(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

std::string_view DataTypeName(int32_t type) {
  switch (type) {
    case kDataVoid: return "void";
    case kDataInt: return "int";
    case kDataDouble: return "double";
    case kDataString: return "string";
    case kDataBool: return "bool";
    case kDataDate: return "TDataTime";
    case kDataCell: return "[]";
    default: return "";
  }
}

std::string TCommonData::AsText() const {
  if (IsNull) return "null";
  switch (DataType) {
    case kDataInt: return std::to_string(IntValue);
    case kDataDouble: return FormatGeneral(FloatValue, LocaleSettings().decimalSeparator);
    case kDataString: return StrValue;
    case kDataBool: return BoolValue ? "1" : "0";
    case kDataDate: return FormatDateTime(LocaleSettings().shortDateFormat, DateValue, LocaleSettings());
    default: return "";
  }
}

void TCommonData::Clear() {
  IntValue = 0;
  FloatValue = 0;
  StrValue.clear();
  BoolValue = false;
  DateValue = 0;
}

void TCommonData::Assign(const TCommonData& source) {
  DataType = source.DataType;
  IsNull = source.IsNull;
  IntValue = source.IntValue;
  FloatValue = source.FloatValue;
  StrValue = source.StrValue;
  BoolValue = source.BoolValue;
  DateValue = source.DateValue;
}

int TCommonData::Compare(const TCommonData& other) const {
  if (DataType != other.DataType) return kCompareTypeMismatch;
  if (IsNull && other.IsNull) return 0;
  // Only the null side takes its zero value: zeroing both would make a null equal to
  // every value of its type.
  switch (DataType) {
    case kDataInt: {
      int64_t diff = static_cast<int64_t>(IsNull ? 0 : IntValue) - (other.IsNull ? 0 : other.IntValue);
      if (diff > INT32_MAX) return INT32_MAX;
      if (diff < -INT32_MAX) return -INT32_MAX;
      return static_cast<int>(diff);
    }
    case kDataDouble: {
      long double a = IsNull ? 0 : FloatValue;
      long double b = other.IsNull ? 0 : other.FloatValue;
      if (std::fabs(a - b) < kTolerance) return 0;
      return a < b ? -1 : 1;
    }
    case kDataString:
      return CompareTextAscii(IsNull ? std::string_view() : StrValue,
                              other.IsNull ? std::string_view() : other.StrValue);
    case kDataBool: return (IsNull ? false : BoolValue) == (other.IsNull ? false : other.BoolValue) ? 0 : 255;
    case kDataDate: return Sign(IsNull ? 0.0 : DateValue, other.IsNull ? 0.0 : other.DateValue);
    default: return 0;
  }
}

void TCommonData::SetInt(int32_t v) {
  DataType = kDataInt;
  IsNull = false;
  IntValue = v;
}

void TCommonData::SetDouble(long double v) {
  DataType = kDataDouble;
  IsNull = false;
  FloatValue = v;
}

void TCommonData::SetString(std::string v) {
  DataType = kDataString;
  IsNull = false;
  StrValue = std::move(v);
}

void TCommonData::SetBool(bool v) {
  DataType = kDataBool;
  IsNull = false;
  BoolValue = v;
}

void TCommonData::SetDate(double v) {
  DataType = kDataDate;
  IsNull = false;
  DateValue = v;
}

void TCommonData::SetVoid() {
  DataType = kDataVoid;
  IsNull = false;
  Clear();
}

std::string_view PeriodLetter(int32_t kind) {
  return kind >= 1 && kind <= kPeriodCount ? kPeriodLetters[kind] : std::string_view();
}

const std::string& PeriodWord(int32_t kind) {
  static const std::string empty;
  return kind >= 1 && kind <= kPeriodCount ? Ansi(kPeriodWordsUtf8[kind]) : empty;
}

int32_t FindPeriod(std::string_view word) {
  for (int32_t k = 1; k <= kPeriodCount; ++k)
    if (SameTextAscii(word, kPeriodLetters[k]) || SameTextAscii(word, PeriodWord(k))) return k;
  return 0;
}

std::string_view StatWord(int32_t mode) {
  return mode >= 1 && mode <= kStatCount ? kStatWords[mode] : std::string_view();
}

int32_t FindStat(std::string_view word) {
  for (int32_t m = 1; m <= kStatCount; ++m)
    if (SameTextAscii(word, kStatWords[m])) return m;
  return 0;
}

void TSyntaxCell::Reset() { *this = TSyntaxCell(); }

std::string TSyntaxCell::AsText() const {
  std::string s = "[";
  if (ByName) {
    s += Name;
    if (Absolute) s += '$';
  } else {
    s += std::to_string(Row) + "," + std::to_string(Col);
  }
  if (OffsetCount != 0) s += "," + std::to_string(OffsetCount) + "N";
  if (PeriodCount != 0) {
    s += "," + std::to_string(PeriodCount);
    s += PeriodLetter(PeriodKind);
  } else if (PeriodKind != 0) {
    s += ",";
    s += PeriodLetter(PeriodKind);
  }
  if (HasCondition) s += ",'" + Condition + "'";
  for (const std::string& d : Dimensions) s += "," + d;
  if (StatMode != 0) {
    s += ",";
    s += StatWord(StatMode);
  }
  s += "]";
  if (!UnitSuffix.empty()) s += "@" + UnitSuffix;
  return s;
}

void TSyntaxData::Assign(const TCommonData& source) {
  TCommonData::Assign(source);
  if (source.DataType == kDataCell) {
    if (auto* data = dynamic_cast<const TSyntaxData*>(&source)) Cell.Assign(data->Cell);
  }
}

void TSyntaxData::Clear() {
  TCommonData::Clear();
  Cell.Reset();
}

}  // namespace ryn
