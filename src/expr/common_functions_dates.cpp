// DATEVALUE, DATE, DATEADD, YEAR, MONTH, DAY, TODAY, ISIDCARD, IDCARD18, IDCARDDATE. A
// date that cannot be made is the empty date 0.
#include <algorithm>
#include <cmath>
#include <string>

#include "expr/check_codes.h"
#include "expr/common_functions_internal.h"
#include "platform/datetime.h"
#include "platform/locale_settings.h"

namespace ryn::common_functions {
namespace {

constexpr int64_t kDaysPer400Years = 146097;

// The day part of a date-time (its time counts away from the zero in both directions).
DateTimeParts DayParts(double value) { return DecodeDateTime(std::trunc(value)); }

// Shorthand forms of a date without a format: "99.3.12", "990312", "2003", "2003.5",
// "200305" become texts with a year, a month and a day separated by "-".
std::string CompleteDateText(std::string s) {
  std::replace(s.begin(), s.end(), '/', '-');
  std::replace(s.begin(), s.end(), '.', '-');
  if (s.find('-') == std::string::npos) {
    if (s.size() <= 6 && !s.empty() && s[0] > '2') s.insert(0, "19");
    if (s.size() == 4) {
      s += "-1";
    } else if (s.size() == 6) {
      s.insert(4, "-");
    } else if (s.size() == 8) {
      s.insert(4, "-");
      s.insert(7, "-");
    }
  }
  if (std::count(s.begin(), s.end(), '-') == 1) s += "-1";
  return s;
}

void SetDateOrEmpty(bool ok, const TDateTime& d, TCommonData& result) { result.SetDate(ok ? d : 0); }

}  // namespace

int32_t DateValue(FunctionArgs args, TCommonData& result) {
  const std::string& text = args[0]->StrValue;
  const TCommonData& format = *args[1];
  TDateTime d = 0;
  if (text.empty()) {
    result.SetDate(0);
    return 0;
  }
  TFormatSettings fs = LocaleSettings();
  if (!format.IsNull && !format.StrValue.empty()) {
    fs.shortDateFormat = format.StrValue;
    if (format.StrValue.find('/') != std::string::npos) fs.dateSeparator = '/';
    if (format.StrValue.find('-') != std::string::npos) fs.dateSeparator = '-';
    bool ok = TryParseDate(text, fs, d);
    SetDateOrEmpty(ok, d, result);
    return 0;
  }
  // The completed text separates its parts with "-" whatever separator the locale uses;
  // only the order of the parts comes from the locale.
  fs.dateSeparator = '-';
  bool ok = TryParseDate(CompleteDateText(text), fs, d);
  SetDateOrEmpty(ok, d, result);
  return 0;
}

// Month 0 is December and day 0 the last day of the month.
int32_t Date(FunctionArgs args, TCommonData& result) {
  int year = IntArg(*args[0]);
  int month = IntArg(*args[1]);
  int day = IntArg(*args[2]);
  if (month == 0) month = 12;
  if (day == 0) day = DaysInMonth(year, month);
  TDateTime d = 0;
  bool ok = TryEncodeDate(year, month, day, d);
  SetDateOrEmpty(ok, d, result);
  return 0;
}

// DATEADD(date, day offset, month offset, year offset): the order of the declaration.
// The month moves first and the day is not held to the month's end, so January 31 plus
// one month is March 3 (March 2 in a leap year).
int32_t DateAdd(FunctionArgs args, TCommonData& result) {
  const DateTimeParts p = DayParts(args[0]->DateValue);
  if (p.year == 0) {
    result.SetDate(0);
    return 0;
  }
  const int64_t dayOffset = IntArg(*args[1]);
  const int64_t monthOffset = IntArg(*args[2]);
  const int64_t yearOffset = IntArg(*args[3]);
  int64_t t = (p.year + yearOffset) * 12 + (p.month - 1) + monthOffset;
  int64_t year = t >= 0 ? t / 12 : -((-t + 11) / 12);
  int month = static_cast<int>(t - year * 12) + 1;
  int64_t day = p.day + dayOffset;
  // 400 years hold the same number of days from any month on, so large offsets need not
  // walk month by month.
  year += (day - 1) / kDaysPer400Years * 400;
  day = (day - 1) % kDaysPer400Years + 1;
  if (year < -100000 || year > 100000) {
    result.SetDate(0);
    return 0;
  }
  auto daysIn = [](int64_t y, int m) { return DaysInMonth(static_cast<int>(y), m); };
  while (day > daysIn(year, month)) {
    day -= daysIn(year, month);
    if (++month > 12) {
      month = 1;
      ++year;
    }
  }
  while (day <= 0) {
    if (--month < 1) {
      month = 12;
      --year;
    }
    day += daysIn(year, month);
  }
  TDateTime d = 0;
  bool ok = year >= 1 && year <= 9999 &&
            TryEncodeDate(static_cast<int>(year), month, static_cast<int>(day), d);
  SetDateOrEmpty(ok, d, result);
  return 0;
}

int32_t Year(FunctionArgs args, TCommonData& result) {
  result.SetInt(DayParts(args[0]->DateValue).year);
  return 0;
}

int32_t Month(FunctionArgs args, TCommonData& result) {
  result.SetInt(DayParts(args[0]->DateValue).month);
  return 0;
}

int32_t Day(FunctionArgs args, TCommonData& result) {
  result.SetInt(DayParts(args[0]->DateValue).day);
  return 0;
}

int32_t Today(FunctionArgs, TCommonData& result) {
  result.SetDate(std::floor(Now()));
  return 0;
}

int32_t IsIdCard(FunctionArgs args, TCommonData& result) {
  result.SetBool(ryn::IsIdCard(args[0]->StrValue));
  return 0;
}

int32_t IdCard18(FunctionArgs args, TCommonData& result) {
  result.SetString(ryn::IdCard18(args[0]->StrValue));
  return 0;
}

int32_t IdCardDate(FunctionArgs args, TCommonData& result) {
  TDateTime birth = 0;
  bool ok = ryn::IsIdCard(args[0]->StrValue, &birth);
  SetDateOrEmpty(ok, birth, result);
  return 0;
}

}  // namespace ryn::common_functions
