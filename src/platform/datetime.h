// Date-time values: a double counting days since 1899-12-30, the time of day being the
// fraction (a negative value keeps its time as a positive fraction: -1.25 is 1899-12-29
// 06:00). Encoding and decoding to calendar parts, and the SYSTEMTIME record that crosses
// library boundaries.
#pragma once

#include <cstdint>

namespace ryn {

using TDateTime = double;

struct DateTimeParts {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int dayOfWeek = 0;  // 0 Sunday .. 6 Saturday
};

// Sixteen bytes, the layout of the Windows structure.
struct SystemTime {
  uint16_t wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};
static_assert(sizeof(SystemTime) == 16);

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // 0 for a month outside 1..12

// Fail (false, out untouched) on a part out of range: year 1..9999, month 1..12, day within
// the month, hour 0..23, minute and second 0..59, millisecond 0..999.
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& out);
bool TryEncodeDateTime(const DateTimeParts& parts, TDateTime& out);

// Rounds to the millisecond. Values outside years 1..9999 give a zeroed record with
// year 0 (check with IsValidDateTime first when that matters).
DateTimeParts DecodeDateTime(TDateTime value);
bool IsValidDateTime(TDateTime value);

// An all-zero or otherwise invalid record is not a date: false, out untouched. The day of
// week member is ignored.
bool SystemTimeToDateTime(const SystemTime& st, TDateTime& out);
SystemTime DateTimeToSystemTime(TDateTime value);

// Current local date and time.
TDateTime Now();

}  // namespace ryn
