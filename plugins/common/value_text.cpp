#include "common/value_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/float_format.h"

namespace ryn {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads exactly n digits at pos.
bool Digits(std::string_view s, size_t& pos, size_t n, int& out) {
  if (s.size() - pos < n) return false;
  int v = 0;
  for (size_t i = 0; i < n; ++i) {
    char c = s[pos + i];
    if (!IsDigit(c)) return false;
    v = v * 10 + (c - '0');
  }
  pos += n;
  out = v;
  return true;
}

bool DatePart(std::string_view s, size_t& pos, DateTimeParts& parts) {
  return Digits(s, pos, 4, parts.year) && pos < s.size() && s[pos++] == '-' && Digits(s, pos, 2, parts.month) &&
         pos < s.size() && s[pos++] == '-' && Digits(s, pos, 2, parts.day);
}

}  // namespace

bool ParseInteger(std::string_view text, int64_t& out) {
  if (text.empty()) return false;
  const char* b = text.data();
  const char* e = b + text.size();
  // from_chars takes "-" but not "+"
  if (*b == '+') {
    if (++b == e || !IsDigit(*b)) return false;
  } else if (*b == '-') {
    if (e - b < 2 || !IsDigit(b[1])) return false;
  } else if (!IsDigit(*b)) {
    return false;
  }
  int64_t v = 0;
  auto [p, ec] = std::from_chars(b, e, v);
  if (ec != std::errc() || p != e) return false;
  out = v;
  return true;
}

bool ParseDecimal(std::string_view text, double& out) {
  size_t i = 0, n = text.size();
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  size_t intDigits = 0, fracDigits = 0;
  while (i < n && IsDigit(text[i])) ++i, ++intDigits;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && IsDigit(text[i])) ++i, ++fracDigits;
  }
  if (intDigits + fracDigits == 0) return false;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < n && IsDigit(text[i])) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != n) return false;
  const char* b = text.data();
  if (*b == '+') ++b;
  double v = 0;
  auto [p, ec] = std::from_chars(b, text.data() + n, v);
  if (ec != std::errc() || p != text.data() + n) return false;
  out = v;
  return true;
}

bool ParseIsoDate(std::string_view text, TDateTime& out) {
  DateTimeParts parts;
  size_t pos = 0;
  if (!DatePart(text, pos, parts) || pos != text.size()) return false;
  return TryEncodeDate(parts.year, parts.month, parts.day, out);
}

bool ParseIsoDateTime(std::string_view text, TDateTime& out) {
  DateTimeParts parts;
  size_t pos = 0;
  if (!DatePart(text, pos, parts)) return false;
  if (pos < text.size() && (text[pos] == ' ' || text[pos] == 'T')) {
    ++pos;
    if (!Digits(text, pos, 2, parts.hour) || pos >= text.size() || text[pos++] != ':' ||
        !Digits(text, pos, 2, parts.minute))
      return false;
    if (pos < text.size() && text[pos] == ':') {
      ++pos;
      if (!Digits(text, pos, 2, parts.second)) return false;
      if (pos < text.size() && text[pos] == '.') {
        ++pos;
        int scale = 100;
        size_t start = pos;
        while (pos < text.size() && IsDigit(text[pos])) {
          parts.millisecond += (text[pos] - '0') * scale;
          scale /= 10;
          ++pos;
        }
        if (pos == start) return false;
      }
    }
    if (pos < text.size() && text[pos] == 'Z') ++pos;
  }
  if (pos != text.size()) return false;
  return TryEncodeDateTime(parts, out);
}

bool ParseCanonicalInteger(std::string_view text, int64_t& out) {
  int64_t v = 0;
  if (!ParseInteger(text, v) || std::to_string(v) != text) return false;
  out = v;
  return true;
}

bool ParseCanonicalDecimal(std::string_view text, double& out) {
  double v = 0;
  // A negative zero reads back as "-0" in some forms and "0" in others: never exact.
  if (!ParseDecimal(text, v) || (v == 0 && std::signbit(v)) || FormatGeneral(v) != text) return false;
  out = v;
  return true;
}

bool ParseCanonicalDate(std::string_view text, TDateTime& out) {
  TDateTime v = 0;
  if (!ParseIsoDate(text, v) || IsoDateTimeText(v, false) != text) return false;
  out = v;
  return true;
}

std::string ShortestRealText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  std::string general = FormatGeneral(value);
  double back = 0;
  // A subnormal double holds fewer than 15 digits: its general form reads back but is not
  // the shortest text that does (5E-324, not 4.94065645841247E-324).
  if (std::fpclassify(value) != FP_SUBNORMAL && ParseDecimal(general, back) && back == value) return general;
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
  std::string s(buf, ec == std::errc() ? end : buf);
  // The exponent as the general form writes it: "E20", "E-7".
  size_t e = s.find('e');
  if (e != std::string::npos) {
    s[e] = 'E';
    if (e + 1 < s.size() && s[e + 1] == '+') s.erase(e + 1, 1);
  }
  return s;
}

std::string IsoDateTimeText(TDateTime value, bool withTime) {
  DateTimeParts p = DecodeDateTime(value);
  char buf[32];
  int n = withTime ? std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                                   p.minute, p.second)
                   : std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", p.year, p.month, p.day);
  return std::string(buf, static_cast<size_t>(n));
}

}  // namespace ryn
