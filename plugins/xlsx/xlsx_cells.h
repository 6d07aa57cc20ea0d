// The small rules of a worksheet's cells, apart from any file: cell references and ranges,
// the _xHHHH_ escapes of strings, which number formats show dates, and the text of a
// number or of a date serial.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ryn {

// The largest sheet a workbook holds.
constexpr int32_t kXlsxMaxColumns = 16384;
constexpr int32_t kXlsxMaxRows = 1048576;

// "B12": column 1 (0-based) and row 12 (1-based). Letters in either case; "$" before the
// letters or the digits is taken. A reference beyond the largest sheet fails.
bool ParseCellRef(std::string_view text, int32_t& column, int32_t& row);
// Only the letters of a reference ("AB" of "AB7"): the column, 0-based.
bool ParseColumnOfRef(std::string_view text, int32_t& column);
struct TCellRange {
  int32_t firstColumn = 0, lastColumn = 0;  // 0-based
  int32_t firstRow = 1, lastRow = 1;        // 1-based
};
// "B2:F100" (either corner first) or one cell "C3".
bool ParseCellRange(std::string_view text, TCellRange& out);
// 0 -> "A", 26 -> "AA".
std::string ColumnName(int32_t column);

// Decodes the _xHHHH_ escapes the writers put in for characters XML cannot carry (control
// characters, and "_x" itself as _x005F_): UTF-16 code units, a surrogate pair becoming one
// character. A lone surrogate becomes U+FFFD.
std::string DecodeXlsxEscapes(std::string_view utf8);

// Whether a built-in number format shows a date or time: 14-22, 45-47, and the East Asian
// date formats 27-36 and 50-58.
bool IsBuiltinDateFormat(int32_t id);
// Whether a format code shows a date or time: a y, m, d, h or s outside quotes, brackets
// ([Red], [$-804]), escapes (\x) and the padding and fill characters (_x, *x). "General"
// and "0.00E+00" hold none.
bool IsDateFormatCode(std::string_view code);

// The text of a number as the sheet stores it: an integer written in plain digits stays as
// written; any other number becomes the shortest text that reads back as the same double.
// false when text is no number.
bool XlsxNumberText(std::string_view text, std::string& out, double& value);

// A date serial in the 1900 or 1904 system as days since 1899-12-30. The 1900 system counts
// a 1900-02-29 that never was (serial 60): serials before it are a day later than their
// count says. false for 60 itself, negative serials and serials beyond 9999-12-31;
// a serial below 1 is a time of day alone (dayless set), in either system.
bool XlsxSerialToDateTime(double serial, bool date1904, double& out, bool& dayless);
// "yyyy-mm-dd" for a whole day, else "yyyy-mm-dd hh:nn:ss" with ".fff" when the time has
// milliseconds (rounded to the millisecond); a dayless value gives the time alone.
std::string XlsxDateTimeText(double dateTime, bool dayless);

}  // namespace ryn
