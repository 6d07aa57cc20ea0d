#include <gtest/gtest.h>

#include "platform/datetime.h"
#include "platform/locale_settings.h"

namespace ryn {
namespace {

TEST(DateTimeTest, EncodesKnownDays) {
  struct Case {
    int y, m, d;
    double expected;
  } cases[] = {
      {1899, 12, 30, 0},  {1899, 12, 31, 1},     {1900, 1, 1, 2},     {1900, 3, 1, 61},
      {2000, 2, 29, 36585}, {2023, 3, 15, 45000}, {1, 1, 1, -693593}, {9999, 12, 31, 2958465},
  };
  for (const auto& c : cases) {
    TDateTime d = -1e9;
    ASSERT_TRUE(TryEncodeDate(c.y, c.m, c.d, d)) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_EQ(d, c.expected);
  }
}

TEST(DateTimeTest, RejectsPartsOutOfRange) {
  TDateTime d = 42;
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, d));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, d));  // divisible by 100, not by 400
  EXPECT_FALSE(TryEncodeDate(2000, 13, 1, d));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, d));
  EXPECT_FALSE(TryEncodeDate(10000, 1, 1, d));
  EXPECT_FALSE(TryEncodeDate(2023, 4, 31, d));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, d));
  EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, d));
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, d));
  EXPECT_EQ(d, 42);
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, d));
  EXPECT_TRUE(TryEncodeDate(2024, 2, 29, d));
}

TEST(DateTimeTest, EveryDayAndTimeRoundTripsAcrossLeapYears) {
  int days = 0;
  for (int y = 1896; y <= 2104; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int d = 1; d <= DaysInMonth(y, m); ++d) {
        DateTimeParts in;
        in.year = y;
        in.month = m;
        in.day = d;
        in.hour = days % 24;
        in.minute = days % 60;
        in.second = (days * 7) % 60;
        in.millisecond = (days * 13) % 1000;
        TDateTime v;
        ASSERT_TRUE(TryEncodeDateTime(in, v));
        DateTimeParts out = DecodeDateTime(v);
        ASSERT_EQ(std::tie(out.year, out.month, out.day, out.hour, out.minute, out.second, out.millisecond),
                  std::tie(in.year, in.month, in.day, in.hour, in.minute, in.second, in.millisecond))
            << y << "-" << m << "-" << d;
        SystemTime st = DateTimeToSystemTime(v);
        TDateTime back;
        ASSERT_TRUE(SystemTimeToDateTime(st, back));
        ASSERT_NEAR(back, v, 1e-9);
        ++days;
      }
    }
  }
  EXPECT_EQ(days, 76336);  // 209 years, 51 of them leap (2000 is, 1900 and 2100 are not)
}

TEST(DateTimeTest, DayOfWeekAndNegativeDates) {
  TDateTime v;
  ASSERT_TRUE(TryEncodeDate(2023, 3, 15, v));
  EXPECT_EQ(DateTimeToSystemTime(v).wDayOfWeek, 3);  // Wednesday
  EXPECT_EQ(DateTimeToSystemTime(0).wDayOfWeek, 6);  // 1899-12-30 was a Saturday
  // Before the zero the time still counts forward from midnight.
  DateTimeParts p = DecodeDateTime(-1.25);
  EXPECT_EQ(std::tie(p.year, p.month, p.day, p.hour), std::make_tuple(1899, 12, 29, 6));
  DateTimeParts in{1899, 12, 29, 6, 0, 0, 0, 0};
  ASSERT_TRUE(TryEncodeDateTime(in, v));
  EXPECT_DOUBLE_EQ(v, -1.25);
}

TEST(DateTimeTest, SystemTimeThatIsNoDateIsRefused) {
  TDateTime v = 7;
  SystemTime zero{};
  EXPECT_FALSE(SystemTimeToDateTime(zero, v));
  SystemTime feb30{2023, 2, 0, 30, 0, 0, 0, 0};
  EXPECT_FALSE(SystemTimeToDateTime(feb30, v));
  SystemTime badHour{2023, 2, 0, 3, 24, 0, 0, 0};
  EXPECT_FALSE(SystemTimeToDateTime(badHour, v));
  EXPECT_EQ(v, 7);
  SystemTime out = DateTimeToSystemTime(1e12);  // beyond year 9999
  EXPECT_EQ(out.wYear, 0);
  EXPECT_EQ(out.wMonth, 0);
}

TEST(DateTimeTest, FormatsByPattern) {
  TFormatSettings fs;
  TDateTime v;
  DateTimeParts p{2023, 3, 5, 7, 8, 9, 45, 0};
  ASSERT_TRUE(TryEncodeDateTime(p, v));
  EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss:zzz", v, fs), "2023-03-05 07:08:09:045");
  EXPECT_EQ(FormatDateTime("yy/m/d h:mm", v, fs), "23-3-5 7:08");
  fs.dateSeparator = '/';
  EXPECT_EQ(FormatDateTime("dd/mm/yyyy 'at' hh", v, fs), "05/03/2023 at 07");
}

TEST(DateTimeTest, ParsesDatesAndTimesByTheSettings) {
  TFormatSettings ymd;  // year-month-day with "-"
  TFormatSettings dmy;
  dmy.dateSeparator = '/';
  dmy.shortDateFormat = "dd/mm/yyyy";
  struct Case {
    const char* text;
    const TFormatSettings* fs;
    bool ok;
    double expected;
  } cases[] = {
      {"2023-03-15", &ymd, true, 45000},
      {"2023-3-15", &ymd, true, 45000},
      {" 2023-03-15 06:00 ", &ymd, true, 45000.25},
      {"2023-03-15 06:00:00:000", &ymd, true, 45000.25},
      {"2023-03-15 06:00:00.000", &ymd, true, 45000.25},
      {"12:00", &ymd, true, 0.5},
      {"15/03/2023", &ymd, false, 0},
      {"2023-02-29", &ymd, false, 0},
      {"2023-03-15 25:00", &ymd, false, 0},
      {"2023-03-15x", &ymd, false, 0},
      {"", &ymd, false, 0},
      {"15/03/2023", &dmy, true, 45000},
  };
  for (const auto& c : cases) {
    TDateTime v = -1;
    EXPECT_EQ(TryParseDateTime(c.text, *c.fs, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_NEAR(v, c.expected, 1e-9) << c.text;
    }
  }
  TDateTime v;
  EXPECT_FALSE(TryParseDate("12:00", ymd, v));
  EXPECT_FALSE(TryParseTime("2023-03-15", ymd, v));
}

}  // namespace
}  // namespace ryn
