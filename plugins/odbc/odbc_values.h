// How a column of an ODBC result is fetched and how its values become values of the
// column's field type. Exact numerics arrive as the driver's digits and keep them; integers
// as 64-bit; floating types by their own width and shortest text; dates and times as the
// driver's text (fractions and any offset kept), with the typed value worked out from it;
// character data as the driver's wide characters; binary data in uppercase hexadecimal.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/source_engine.h"
#include "odbc/odbc_text.h"

namespace ryn {

// What a column holds, as far as reading it goes.
enum class TOdbcForm : uint8_t {
  kInteger,   // signed integers within 64 bits, fetched as such
  kDigits,    // integers fetched as digits (an unsigned BIGINT may exceed 64 bits)
  kDecimal,   // NUMERIC and DECIMAL: the driver's digits, never through a double
  kFloat,     // REAL: 32 bits
  kDouble,    // FLOAT and DOUBLE
  kDate,
  kTime,
  kDateTime,
  kText,
  kBinary,
};

struct TOdbcColumn {
  TOdbcForm form = TOdbcForm::kText;
  int32_t fieldType = 65;
  SQLSMALLINT cType = SQL_C_WCHAR;
  // Bytes of one value in a bound array, terminator included; 0 when the column has no
  // bound on its values and is read with SQLGetData in pieces.
  size_t width = 0;
};

// The column's reading from the driver's description: its SQL type, column size (characters
// or digits, 0 when unknown) and whether an integer type is unsigned.
TOdbcColumn DescribeOdbcColumn(SQLSMALLINT sqlType, SQLULEN size, bool isUnsigned);

// Bytes a terminator takes at the end of a value of the C type.
size_t TerminatorSize(SQLSMALLINT cType);

// What reading one value found, for the per-column counts.
struct TOdbcReadNotes {
  bool unfit = false;  // the value does not fit the column's type
  TOdbcTextNotes text;
};

// "yyyy-mm-dd hh:nn:ss[.f...]" followed by an offset ("+05:30", "-08", "Z") or none: the
// date and time as written, the offset left aside. False for anything else.
bool ParseDateTimeWithOffset(std::string_view text, TDateTime& out);
// "hh:nn[:ss[.f...]]" with an optional offset, as a fraction of a day.
bool ParseTimeOfDay(std::string_view text, TDateTime& out);
// The shortest text that reads back as exactly this float, as ShortestRealText writes
// doubles ("0.1", "1E20", "INF").
std::string ShortestFloatText(float value);

class TOdbcValueReader {
 public:
  // Reads one non-NULL value of column: bytes of its C type's data, without terminator.
  // Its text goes into buffer and stays valid as long as buffer is left alone.
  TOdbcReadNotes Read(const TOdbcColumn& column, const char* data, size_t bytes, std::string& buffer,
                      TSourceValue& v);

 private:
  TWideText wide_;
};

}  // namespace ryn
