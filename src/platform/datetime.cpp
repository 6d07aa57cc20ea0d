#include "platform/datetime.h"

#include <cmath>
#include <cstdint>
#include <ctime>

namespace ryn {
namespace {

constexpr int64_t kMsPerDay = 86400000;
// Days from 0001-01-01 to 1899-12-30 (the zero of a date-time).
constexpr int64_t kDateDelta = 693593;
// The supported range: 0001-01-01 .. 9999-12-31 23:59:59.999.
constexpr double kMinDateTime = -693593.0;
constexpr double kMaxDateTime = 2958466.0;

// Days since 0001-01-01 (day 0) for a valid date.
int64_t DayNumber(int year, int month, int day) {
  static const int kCumDays[2][13] = {
      {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334},
      {0, 0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335}};
  int64_t y = year - 1;
  return y * 365 + y / 4 - y / 100 + y / 400 + kCumDays[IsLeapYear(year) ? 1 : 0][month] + day - 1;
}

void DayNumberToDate(int64_t days, int& year, int& month, int& day) {
  // 400-year cycles of 146097 days, 100-year cycles of 36524, 4-year cycles of 1461.
  int64_t n400 = days / 146097;
  days %= 146097;
  int64_t n100 = days / 36524;
  if (n100 == 4) n100 = 3;
  days -= n100 * 36524;
  int64_t n4 = days / 1461;
  days %= 1461;
  int64_t n1 = days / 365;
  if (n1 == 4) n1 = 3;
  days -= n1 * 365;
  year = static_cast<int>(n400 * 400 + n100 * 100 + n4 * 4 + n1 + 1);
  month = 1;
  for (;;) {
    int dim = DaysInMonth(year, month);
    if (days < dim) break;
    days -= dim;
    ++month;
  }
  day = static_cast<int>(days) + 1;
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0) && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int kDays[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  out = static_cast<double>(DayNumber(year, month, day) - kDateDelta);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& out) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
      millisecond > 999)
    return false;
  out = static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + millisecond) / kMsPerDay;
  return true;
}

bool TryEncodeDateTime(const DateTimeParts& p, TDateTime& out) {
  TDateTime date, time;
  if (!TryEncodeDate(p.year, p.month, p.day, date)) return false;
  if (!TryEncodeTime(p.hour, p.minute, p.second, p.millisecond, time)) return false;
  // The time of a date before the zero counts away from it: -1 plus 6 hours is -1.25.
  out = date < 0 ? date - time : date + time;
  return true;
}

bool IsValidDateTime(TDateTime value) {
  return std::isfinite(value) && value > kMinDateTime - 1 && value < kMaxDateTime;
}

DateTimeParts DecodeDateTime(TDateTime value) {
  DateTimeParts p;
  if (!IsValidDateTime(value)) return p;
  int64_t ms = std::llround(value * kMsPerDay);
  int64_t dayPart = ms / kMsPerDay;  // truncates toward zero
  int64_t timeMs = (ms < 0 ? -ms : ms) % kMsPerDay;
  int64_t dayNumber = dayPart + kDateDelta;
  if (dayNumber < 0 || dayNumber > DayNumber(9999, 12, 31)) return p;
  DayNumberToDate(dayNumber, p.year, p.month, p.day);
  p.hour = static_cast<int>(timeMs / 3600000);
  p.minute = static_cast<int>(timeMs / 60000 % 60);
  p.second = static_cast<int>(timeMs / 1000 % 60);
  p.millisecond = static_cast<int>(timeMs % 1000);
  p.dayOfWeek = static_cast<int>((dayNumber + 1) % 7);  // 0001-01-01 was a Monday
  return p;
}

bool SystemTimeToDateTime(const SystemTime& st, TDateTime& out) {
  DateTimeParts p;
  p.year = st.wYear;
  p.month = st.wMonth;
  p.day = st.wDay;
  p.hour = st.wHour;
  p.minute = st.wMinute;
  p.second = st.wSecond;
  p.millisecond = st.wMilliseconds;
  return TryEncodeDateTime(p, out);
}

SystemTime DateTimeToSystemTime(TDateTime value) {
  DateTimeParts p = DecodeDateTime(value);
  SystemTime st{};
  if (p.year == 0) return st;
  st.wYear = static_cast<uint16_t>(p.year);
  st.wMonth = static_cast<uint16_t>(p.month);
  st.wDayOfWeek = static_cast<uint16_t>(p.dayOfWeek);
  st.wDay = static_cast<uint16_t>(p.day);
  st.wHour = static_cast<uint16_t>(p.hour);
  st.wMinute = static_cast<uint16_t>(p.minute);
  st.wSecond = static_cast<uint16_t>(p.second);
  st.wMilliseconds = static_cast<uint16_t>(p.millisecond);
  return st;
}

TDateTime Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  DateTimeParts p;
  p.year = local.tm_year + 1900;
  p.month = local.tm_mon + 1;
  p.day = local.tm_mday;
  p.hour = local.tm_hour;
  p.minute = local.tm_min;
  p.second = local.tm_sec > 59 ? 59 : local.tm_sec;
  p.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
  TDateTime out = 0;
  TryEncodeDateTime(p, out);
  return out;
}

}  // namespace ryn
