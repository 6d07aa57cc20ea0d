// The typed value records of the expression language: TCommonData (one value of a type
// code), TSyntaxCell (a parsed report-cell reference with its items) and TSyntaxData (a
// value that may also carry a cell). The parser, the evaluator and every function
// listener compute with these.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "transport/object.h"

namespace ryn {

// Type codes of values and of function parameters and results.
constexpr int32_t kDataVoid = 0;    // no value; as a parameter: any type
constexpr int32_t kDataInt = 1;     // IntValue
constexpr int32_t kDataDouble = 2;  // FloatValue
constexpr int32_t kDataString = 3;  // StrValue, bytes of the process code page
constexpr int32_t kDataBool = 4;    // BoolValue
constexpr int32_t kDataDate = 5;    // DateValue, days since 1899-12-30; 0 is the empty date
constexpr int32_t kDataCell = 6;    // TSyntaxData::Cell

// "void", "int", "double", "string", "bool", "TDataTime", "[]"; empty for other codes.
std::string_view DataTypeName(int32_t type);

// What Compare answers for values of different types.
constexpr int kCompareTypeMismatch = 255;

class TCommonData : public TObject {
 public:
  int32_t DataType = kDataVoid;
  bool IsNull = false;
  int32_t IntValue = 0;
  long double FloatValue = 0;
  std::string StrValue;
  bool BoolValue = false;
  double DateValue = 0;

  // "null" for a null value; void gives "", bool "0" or "1", a date the locale's short
  // date text, a double the general number text.
  virtual std::string AsText() const;
  // Zeroes the payload; DataType and IsNull stay.
  virtual void Clear();
  virtual void Assign(const TCommonData& source);
  // <0, 0, >0 by the rules of the type, kCompareTypeMismatch for different types. A null
  // value counts as the zero value of its type; neither side is changed.
  virtual int Compare(const TCommonData& other) const;

  void ClearIfNull() {
    if (IsNull) Clear();
  }

  // Setters that also make the value non-null.
  void SetInt(int32_t v);
  void SetDouble(long double v);
  void SetString(std::string v);
  void SetBool(bool v);
  void SetDate(double v);
  void SetVoid();
};

// Period items of a cell: index 1..8 into these; 0 means none.
constexpr int32_t kPeriodCount = 8;
constexpr int32_t kPeriodYear = 1;
std::string_view PeriodLetter(int32_t kind);  // "N" ... "B"; empty outside 1..8
const std::string& PeriodWord(int32_t kind);  // "年" ... "期" in the process code page
// The period a word names by letter or Chinese word, ignoring case; 0 when none.
int32_t FindPeriod(std::string_view word);

// Statistics modes of a cell: index 1..9; 0 means none.
constexpr int32_t kStatCount = 9;
std::string_view StatWord(int32_t mode);  // "SUM" ... "AUTOSUM"; empty outside 1..9
int32_t FindStat(std::string_view word);  // 0 when none

class TSyntaxCell : public TObject {
 public:
  std::string UnitSuffix;
  int32_t OffsetCount = 0;
  int32_t PeriodKind = 0;
  int32_t PeriodCount = 0;
  bool ByName = true;
  std::string Name;
  std::string TableName;
  int32_t Row = 0;
  int32_t Col = 0;
  bool Absolute = false;
  bool HasCondition = false;
  std::string Condition;
  std::vector<std::string> Dimensions;  // "NAME=value"
  int32_t StatMode = 0;
  TCommonData Value;
  // Carried along for cell providers; the parser only copies them.
  int32_t Extra1 = 0;
  int32_t Extra2 = 0;

  void Reset();
  void Assign(const TSyntaxCell& source) { *this = source; }
  // The text form: "[NAME$,-1N,3Y,'cond',D=V,SUM]@UNIT" or "[ROW,COL,...]".
  std::string AsText() const;
};

class TSyntaxData : public TCommonData {
 public:
  TSyntaxCell Cell;

  // Copies the cell as well when the type is kDataCell and source is a TSyntaxData.
  void Assign(const TCommonData& source) override;
  void Clear() override;
};

}  // namespace ryn
