#include "xlsx/xlsx_cells.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/value_text.h"
#include "platform/datetime.h"

namespace ryn {
namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the letters at pos into a 0-based column.
bool Letters(std::string_view s, size_t& pos, int32_t& column) {
  if (pos < s.size() && s[pos] == '$') ++pos;
  int64_t c = 0;
  const size_t start = pos;
  while (pos < s.size() && IsLetter(s[pos])) {
    c = c * 26 + ((s[pos] | 0x20) - 'a' + 1);
    if (c > kXlsxMaxColumns) return false;
    ++pos;
  }
  if (pos == start) return false;
  column = static_cast<int32_t>(c - 1);
  return true;
}

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The code unit of an escape "_xHHHH_" at pos, or -1.
int32_t EscapeAt(std::string_view s, size_t pos) {
  if (s.size() - pos < 7 || s[pos] != '_' || (s[pos + 1] != 'x' && s[pos + 1] != 'X') || s[pos + 6] != '_') return -1;
  int32_t v = 0;
  for (size_t i = pos + 2; i < pos + 6; ++i) {
    const int d = HexDigit(s[i]);
    if (d < 0) return -1;
    v = v * 16 + d;
  }
  return v;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

bool ParseCellRef(std::string_view text, int32_t& column, int32_t& row) {
  size_t pos = 0;
  int32_t c = 0;
  if (!Letters(text, pos, c)) return false;
  if (pos < text.size() && text[pos] == '$') ++pos;
  if (pos == text.size() || text[pos] == '0') return false;
  int64_t r = 0;
  for (; pos < text.size(); ++pos) {
    if (!IsDigit(text[pos])) return false;
    r = r * 10 + (text[pos] - '0');
    if (r > kXlsxMaxRows) return false;
  }
  column = c;
  row = static_cast<int32_t>(r);
  return true;
}

bool ParseColumnOfRef(std::string_view text, int32_t& column) {
  size_t pos = 0;
  return Letters(text, pos, column);
}

bool ParseCellRange(std::string_view text, TCellRange& out) {
  const size_t colon = text.find(':');
  int32_t c1 = 0, r1 = 0, c2 = 0, r2 = 0;
  if (colon == std::string_view::npos) {
    if (!ParseCellRef(text, c1, r1)) return false;
    c2 = c1, r2 = r1;
  } else if (!ParseCellRef(text.substr(0, colon), c1, r1) || !ParseCellRef(text.substr(colon + 1), c2, r2)) {
    return false;
  }
  out.firstColumn = std::min(c1, c2);
  out.lastColumn = std::max(c1, c2);
  out.firstRow = std::min(r1, r2);
  out.lastRow = std::max(r1, r2);
  return true;
}

std::string ColumnName(int32_t column) {
  std::string name;
  for (int64_t c = static_cast<int64_t>(column) + 1; c > 0; c = (c - 1) / 26)
    name.insert(name.begin(), static_cast<char>('A' + (c - 1) % 26));
  return name;
}

std::string DecodeXlsxEscapes(std::string_view s) {
  if (s.find('_') == std::string_view::npos) return std::string(s);
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const int32_t unit = EscapeAt(s, i);
    if (unit < 0) {
      out += s[i++];
      continue;
    }
    i += 7;
    uint32_t cp = static_cast<uint32_t>(unit);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      const int32_t low = i < s.size() ? EscapeAt(s, i) : -1;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((static_cast<uint32_t>(unit) - 0xD800) << 10) + (static_cast<uint32_t>(low) - 0xDC00);
        i += 7;
      } else {
        cp = 0xFFFD;
      }
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

bool IsBuiltinDateFormat(int32_t id) {
  return (id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 27 && id <= 36) || (id >= 50 && id <= 58);
}

bool IsDateFormatCode(std::string_view code) {
  for (size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (c == '"') {
      const size_t end = code.find('"', i + 1);
      if (end == std::string_view::npos) return false;
      i = end;
    } else if (c == '[') {
      const size_t end = code.find(']', i + 1);
      if (end == std::string_view::npos) return false;
      i = end;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;  // the next character is shown, padded for or repeated: never a date part
    } else {
      switch (c | 0x20) {
        case 'y':
        case 'm':
        case 'd':
        case 'h':
        case 's': return true;
        default: break;
      }
    }
  }
  return false;
}

bool XlsxNumberText(std::string_view text, std::string& out, double& value) {
  if (!ParseDecimal(text, value)) return false;
  // Plain digits: kept as written however many there are, as long as they are the
  // integer's own form (no "+", no leading zeros, no "-0").
  size_t i = text.size() > 1 && text[0] == '-' ? 1 : 0;
  bool digits = i < text.size() && (text[i] != '0' || text.size() == i + 1) && !(i == 1 && text == "-0");
  for (; digits && i < text.size(); ++i) digits = IsDigit(text[i]);
  out = digits ? std::string(text) : ShortestRealText(value);
  return true;
}

bool XlsxSerialToDateTime(double serial, bool date1904, double& out, bool& dayless) {
  dayless = false;
  if (!std::isfinite(serial) || serial < 0) return false;
  if (serial < 1) {
    // Times of day are stored as a bare fraction in both systems: no day is meant.
    out = serial;
    dayless = true;
  } else if (date1904) {
    out = serial + 1462;  // 1904-01-01
  } else if (serial >= 61) {
    out = serial;
  } else if (serial >= 60) {
    return false;  // 1900-02-29
  } else {
    out = serial + 1;
  }
  return out < 2958466;  // 10000-01-01
}

std::string XlsxDateTimeText(double dateTime, bool dayless) {
  const DateTimeParts p = DecodeDateTime(dayless ? dateTime + 2 : dateTime);
  char buf[48];
  int n = 0;
  const bool time = p.hour || p.minute || p.second || p.millisecond;
  if (!dayless) n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
  if (time || dayless) {
    n += std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), "%s%02d:%02d:%02d", dayless ? "" : " ", p.hour,
                       p.minute, p.second);
    if (p.millisecond) n += std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), ".%03d", p.millisecond);
  }
  return std::string(buf, static_cast<size_t>(n));
}

}  // namespace ryn
