#include "odbc/odbc_values.h"

#include <charconv>
#include <cmath>
#include <algorithm>
#include <cstring>

#include "common/value_text.h"
#include "transport/field_types.h"

namespace ryn {
namespace {

// Character columns up to this many characters are bound; longer ones, and those of no
// stated size, are read in pieces.
constexpr SQLULEN kBoundChars = 1024;
// Room for a date, time or timestamp as text, with fraction and offset; a longer one (a
// year beyond 9999, an era) is read again in full.
constexpr size_t kTemporalWidth = 48;

std::string HexText(const char* bytes, size_t size) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string hex(size * 2, '0');
  for (size_t i = 0; i < size; ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    hex[2 * i] = kHex[b >> 4];
    hex[2 * i + 1] = kHex[b & 15];
  }
  return hex;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool TwoDigits(std::string_view s, size_t pos, int& out) {
  if (pos + 2 > s.size() || !IsDigit(s[pos]) || !IsDigit(s[pos + 1])) return false;
  out = (s[pos] - '0') * 10 + (s[pos + 1] - '0');
  return true;
}

// Where an offset starts after a time that starts at pos ("hh:nn..."), or npos when the
// text after the time is no offset.
size_t OffsetStart(std::string_view s, size_t timePos) {
  size_t p = timePos;
  while (p < s.size() && (IsDigit(s[p]) || s[p] == ':' || s[p] == '.')) ++p;
  if (p == s.size()) return p;
  if (s[p] == 'Z' && p + 1 == s.size()) return p;
  if (s[p] != '+' && s[p] != '-') return std::string_view::npos;
  // +hh, +hhmm, +hh:mm, +hh:mm:ss
  const std::string_view off = s.substr(p + 1);
  int h = 0, m = 0;
  if (!TwoDigits(off, 0, h) || h > 15) return std::string_view::npos;
  if (off.size() == 2) return p;
  size_t q = off[2] == ':' ? 3 : 2;
  if (!TwoDigits(off, q, m) || m > 59) return std::string_view::npos;
  q += 2;
  if (q == off.size()) return p;
  if (off[q] != ':' || !TwoDigits(off, q + 1, m) || q + 3 != off.size()) return std::string_view::npos;
  return p;
}

}  // namespace

TOdbcColumn DescribeOdbcColumn(SQLSMALLINT sqlType, SQLULEN size, bool isUnsigned) {
  TOdbcColumn c;
  auto text = [&](SQLULEN chars) {
    c.form = TOdbcForm::kText;
    c.fieldType = kFtString;
    c.cType = SQL_C_WCHAR;
    // A character may take two UTF-16 units.
    c.width = chars > 0 && chars <= kBoundChars ? (2 * chars + 1) * sizeof(SQLWCHAR) : 0;
  };
  switch (sqlType) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
      c = {TOdbcForm::kInteger, kFtInt64, SQL_C_SBIGINT, sizeof(SQLBIGINT)};
      break;
    case SQL_BIGINT:
      c = isUnsigned ? TOdbcColumn{TOdbcForm::kDigits, kFtInt64, SQL_C_CHAR, 24}
                     : TOdbcColumn{TOdbcForm::kInteger, kFtInt64, SQL_C_SBIGINT, sizeof(SQLBIGINT)};
      break;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
      // Sign, point and a leading zero beside the digits; a driver that understates the
      // size (an unconstrained NUMERIC) has its longer values read again in full.
      c = {TOdbcForm::kDecimal, kFtDouble, SQL_C_CHAR, std::min<size_t>(std::max<size_t>(size, 15) + 4, 128)};
      break;
    case SQL_REAL:
      c = {TOdbcForm::kFloat, kFtDouble, SQL_C_FLOAT, sizeof(float)};
      break;
    case SQL_FLOAT:
    case SQL_DOUBLE:
      c = {TOdbcForm::kDouble, kFtDouble, SQL_C_DOUBLE, sizeof(double)};
      break;
    case SQL_TYPE_DATE:
    case SQL_DATE:
      c = {TOdbcForm::kDate, kFtDate, SQL_C_CHAR, kTemporalWidth};
      break;
    case SQL_TYPE_TIME:
    case SQL_TIME:
      c = {TOdbcForm::kTime, kFtTime, SQL_C_CHAR, kTemporalWidth};
      break;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
      c = {TOdbcForm::kDateTime, kFtDateTime, SQL_C_CHAR, kTemporalWidth};
      break;
    case SQL_BINARY:
    case SQL_VARBINARY:
      c = {TOdbcForm::kBinary, kFtString, SQL_C_BINARY, size > 0 && size <= kBoundChars ? size : 0};
      break;
    case SQL_LONGVARBINARY:
      c = {TOdbcForm::kBinary, kFtString, SQL_C_BINARY, 0};
      break;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
      // Drivers state a size for these that their values may exceed.
      text(0);
      break;
    default:
      // Character types, and every type we have no reading of (GUIDs, intervals, a
      // driver's own): the driver's text of the value.
      text(size);
      break;
  }
  return c;
}

size_t TerminatorSize(SQLSMALLINT cType) {
  return cType == SQL_C_WCHAR ? sizeof(SQLWCHAR) : cType == SQL_C_CHAR ? 1 : 0;
}

bool ParseDateTimeWithOffset(std::string_view text, TDateTime& out) {
  // The time starts after "yyyy-mm-dd" and its separator.
  const size_t sep = text.find_first_of(" T");
  if (sep == std::string_view::npos) return ParseIsoDateTime(text, out);
  const size_t off = OffsetStart(text, sep + 1);
  if (off == std::string_view::npos) return false;
  return ParseIsoDateTime(text.substr(0, off), out);
}

bool ParseTimeOfDay(std::string_view text, TDateTime& out) {
  const size_t off = OffsetStart(text, 0);
  if (off == std::string_view::npos) return false;
  TDateTime d = 0;
  // The time on the first day of the calendar: its whole part is that day.
  if (!ParseIsoDateTime("1899-12-30 " + std::string(text.substr(0, off)), d) || d < 0 || d >= 1) return false;
  out = d;
  return true;
}

std::string ShortestFloatText(float value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  // The shortest digits that read back as this float, laid out as the general number
  // form lays out doubles: plain from 1E-5 up to 1E15, else with an exponent ("1E20").
  char buf[48];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  const std::string sci(buf, ec == std::errc() ? end : buf);
  const size_t e = sci.find('e');
  if (e == std::string::npos) return sci;
  const bool negative = sci[0] == '-';
  std::string digits;
  for (size_t i = negative ? 1 : 0; i < e; ++i)
    if (sci[i] != '.') digits += sci[i];
  const int exponent = std::stoi(sci.substr(e + 1));
  std::string out = negative ? "-" : "";
  if (exponent >= -5 && exponent < 15) {
    if (exponent < 0) {
      out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    } else if (static_cast<size_t>(exponent) + 1 >= digits.size()) {
      out += digits + std::string(static_cast<size_t>(exponent) + 1 - digits.size(), '0');
    } else {
      out += digits.substr(0, static_cast<size_t>(exponent) + 1) + "." + digits.substr(static_cast<size_t>(exponent) + 1);
    }
    return out;
  }
  out += digits.substr(0, 1);
  if (digits.size() > 1) out += "." + digits.substr(1);
  return out + "E" + std::to_string(exponent);
}

TOdbcReadNotes TOdbcValueReader::Read(const TOdbcColumn& column, const char* data, size_t bytes, std::string& buffer,
                                      TSourceValue& v) {
  using Kind = TSourceValue::Kind;
  TOdbcReadNotes notes;
  v = TSourceValue{};
  switch (column.form) {
    case TOdbcForm::kInteger: {
      SQLBIGINT i = 0;
      std::memcpy(&i, data, sizeof i);
      v.kind = Kind::kInteger;
      v.integer = i;
      return notes;
    }
    case TOdbcForm::kFloat: {
      float f = 0;
      std::memcpy(&f, data, sizeof f);
      buffer = ShortestFloatText(f);
      v.kind = Kind::kReal;
      v.real = f;
      v.text = buffer;
      return notes;
    }
    case TOdbcForm::kDouble: {
      double d = 0;
      std::memcpy(&d, data, sizeof d);
      v.kind = Kind::kReal;
      v.real = d;
      return notes;
    }
    case TOdbcForm::kBinary:
      buffer = HexText(data, bytes);
      v.kind = Kind::kText;
      v.text = buffer;
      return notes;
    case TOdbcForm::kText:
      notes.text = wide_.Convert(reinterpret_cast<const SQLWCHAR*>(data), bytes / sizeof(SQLWCHAR), buffer);
      v.kind = Kind::kText;
      v.text = buffer;
      return notes;
    default:
      break;
  }
  // The rest arrive as the driver's ASCII text, kept as the value's own text.
  buffer.assign(data, bytes);
  v.text = buffer;
  bool fits = true;
  switch (column.form) {
    case TOdbcForm::kDigits:
      fits = ParseCanonicalInteger(buffer, v.integer);
      v.kind = Kind::kInteger;
      break;
    case TOdbcForm::kDecimal:
      // The digits stay as they are; the typed getters get the nearest double.
      fits = ParseDecimal(buffer, v.real);
      v.kind = Kind::kReal;
      break;
    case TOdbcForm::kDate:
      if (buffer.empty()) return notes;
      fits = ParseIsoDate(buffer, v.real);
      v.kind = Kind::kDateTime;
      break;
    case TOdbcForm::kTime:
      if (buffer.empty()) return notes;
      fits = ParseTimeOfDay(buffer, v.real);
      v.kind = Kind::kDateTime;
      break;
    default:  // kDateTime
      if (buffer.empty()) return notes;
      fits = ParseDateTimeWithOffset(buffer, v.real);
      v.kind = Kind::kDateTime;
      break;
  }
  if (!fits) {
    v = TSourceValue{};
    v.kind = Kind::kUnfit;
    v.text = buffer;
    notes.unfit = true;
  }
  return notes;
}

}  // namespace ryn
