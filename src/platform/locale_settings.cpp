#include "platform/locale_settings.h"

#include <cstdio>

#include "platform/codepage.h"

namespace ryn {

TFormatSettings& LocaleSettings() {
  static TFormatSettings settings;
  return settings;
}

namespace {

void AppendNumber(std::string& out, int value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, value);
  out += buf;
}

int RunLength(std::string_view p, size_t i) {
  char c = static_cast<char>(p[i] | 0x20);
  size_t j = i;
  while (j < p.size() && static_cast<char>(p[j] | 0x20) == c) ++j;
  return static_cast<int>(j - i);
}

}  // namespace

std::string FormatDateTime(std::string_view pattern, TDateTime value, const TFormatSettings& fs) {
  DateTimeParts t = DecodeDateTime(value);
  std::string out;
  bool lastWasHour = false;
  size_t i = 0;
  const CodePage& cp = ProcessCodePage();
  const char* end = pattern.data() + pattern.size();
  while (i < pattern.size()) {
    // The trail byte of a double-byte character may be a pattern letter; the character
    // is copied whole.
    if (size_t n = cp.CharLength(pattern.data() + i, end); n > 1) {
      out.append(pattern.substr(i, n));
      i += n;
      continue;
    }
    char c = pattern[i];
    char lc = static_cast<char>(c | 0x20);
    if (c == '"' || c == '\'') {
      size_t j = pattern.find(c, i + 1);
      if (j == std::string_view::npos) j = pattern.size();
      out.append(pattern.substr(i + 1, j - i - 1));
      i = j + 1;
      continue;
    }
    if (c == '/') { out += fs.dateSeparator; ++i; continue; }
    if (c == ':') { out += fs.timeSeparator; ++i; continue; }
    if (lc == 'y' || lc == 'm' || lc == 'd' || lc == 'h' || lc == 'n' || lc == 's' || lc == 'z') {
      int n = RunLength(pattern, i);
      switch (lc) {
        case 'y': AppendNumber(out, n <= 2 ? t.year % 100 : t.year, n <= 2 ? 2 : 4); break;
        case 'm':
          if (lastWasHour) AppendNumber(out, t.minute, n >= 2 ? 2 : 1);
          else AppendNumber(out, t.month, n >= 2 ? 2 : 1);
          break;
        case 'd': AppendNumber(out, t.day, n >= 2 ? 2 : 1); break;
        case 'h': AppendNumber(out, t.hour, n >= 2 ? 2 : 1); break;
        case 'n': AppendNumber(out, t.minute, n >= 2 ? 2 : 1); break;
        case 's': AppendNumber(out, t.second, n >= 2 ? 2 : 1); break;
        case 'z': AppendNumber(out, t.millisecond, n >= 3 ? 3 : 1); break;
      }
      lastWasHour = lc == 'h';
      i += static_cast<size_t>(n);
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

namespace {

struct Scanner {
  std::string_view text;
  size_t pos = 0;

  void SkipBlanks() {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  }
  bool Number(int& value, int& digits) {
    SkipBlanks();
    value = 0;
    digits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 9) {
      value = value * 10 + (text[pos] - '0');
      ++pos;
      ++digits;
    }
    return digits > 0;
  }
  bool Char(char c) {
    SkipBlanks();
    if (pos < text.size() && text[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos >= text.size();
  }
};

// The order of year, month and day in a date pattern, e.g. "YMD".
std::string DateOrder(const std::string& pattern) {
  std::string order;
  const CodePage& cp = ProcessCodePage();
  const char* end = pattern.data() + pattern.size();
  for (const char* p = pattern.data(); p < end;) {
    const size_t n = cp.CharLength(p, end);
    char u = static_cast<char>(*p & ~0x20);
    p += n;
    if (n == 1 && (u == 'Y' || u == 'M' || u == 'D') && order.find(u) == std::string::npos) order += u;
  }
  return order.size() == 3 ? order : "YMD";
}

int ExpandYear(int year, int digits) {
  if (digits > 2) return year;
  int current = DecodeDateTime(Now()).year;
  int pivot = current - 50;
  int y = pivot / 100 * 100 + year;
  if (y < pivot) y += 100;
  return y;
}

bool ScanDate(Scanner& sc, const TFormatSettings& fs, TDateTime& out) {
  int v[3], d[3];
  int count = 0;
  if (!sc.Number(v[0], d[0])) return false;
  count = 1;
  while (count < 3) {
    size_t save = sc.pos;
    if (!sc.Char(fs.dateSeparator)) break;
    if (!sc.Number(v[count], d[count])) {
      sc.pos = save;
      return false;
    }
    ++count;
  }
  if (count < 2) return false;
  std::string order = DateOrder(fs.shortDateFormat);
  int year = 0, month = 0, day = 0;
  if (count == 3) {
    for (int i = 0; i < 3; ++i) {
      if (order[static_cast<size_t>(i)] == 'Y') year = ExpandYear(v[i], d[i]);
      else if (order[static_cast<size_t>(i)] == 'M') month = v[i];
      else day = v[i];
    }
  } else {
    year = DecodeDateTime(Now()).year;
    bool dayFirst = order.find('D') < order.find('M');
    month = dayFirst ? v[1] : v[0];
    day = dayFirst ? v[0] : v[1];
  }
  return TryEncodeDate(year, month, day, out);
}

bool ScanTime(Scanner& sc, const TFormatSettings& fs, TDateTime& out) {
  int hour, minute = 0, second = 0, ms = 0, digits;
  if (!sc.Number(hour, digits)) return false;
  if (!sc.Char(fs.timeSeparator)) return false;
  if (!sc.Number(minute, digits)) return false;
  if (sc.Char(fs.timeSeparator)) {
    if (!sc.Number(second, digits)) return false;
    if (sc.Char(fs.timeSeparator) || sc.Char(fs.decimalSeparator)) {
      if (!sc.Number(ms, digits)) return false;
    }
  }
  return TryEncodeTime(hour, minute, second, ms, out);
}

}  // namespace

bool TryParseDate(std::string_view text, const TFormatSettings& fs, TDateTime& out) {
  Scanner sc{text};
  TDateTime d;
  if (!ScanDate(sc, fs, d) || !sc.AtEnd()) return false;
  out = d;
  return true;
}

bool TryParseTime(std::string_view text, const TFormatSettings& fs, TDateTime& out) {
  Scanner sc{text};
  TDateTime t;
  if (!ScanTime(sc, fs, t) || !sc.AtEnd()) return false;
  out = t;
  return true;
}

bool TryParseDateTime(std::string_view text, const TFormatSettings& fs, TDateTime& out) {
  Scanner sc{text};
  TDateTime d = 0, t = 0;
  if (ScanDate(sc, fs, d)) {
    if (sc.AtEnd()) {
      out = d;
      return true;
    }
    if (!ScanTime(sc, fs, t) || !sc.AtEnd()) return false;
    out = d < 0 ? d - t : d + t;
    return true;
  }
  return TryParseTime(text, fs, out);
}

}  // namespace ryn
