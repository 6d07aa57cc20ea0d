// The rules of a sheet's cells apart from any file: references at the sheet's edges, the
// escapes of strings, date formats, the text of numbers and of date serials at the
// calendar's traps (the 1900 system's day that never was, the 1904 system's offset).
#include <gtest/gtest.h>

#include <cmath>

#include "xlsx/xlsx_cells.h"

namespace ryn {
namespace {

TEST(XlsxCellsTest, CellReferencesAndRangesStopAtTheSheetsEdges) {
  struct Case {
    const char* text;
    bool ok;
    int32_t column, row;
  };
  const Case refs[] = {
      {"A1", true, 0, 1},          {"z9", true, 25, 9},        {"AA10", true, 26, 10},   {"$B$2", true, 1, 2},
      {"XFD1048576", true, 16383, 1048576}, {"XFE1", false, 0, 0}, {"A1048577", false, 0, 0}, {"A0", false, 0, 0},
      {"A01", false, 0, 0},        {"1A", false, 0, 0},        {"A", false, 0, 0},       {"", false, 0, 0},
      {"A1 ", false, 0, 0},        {"AAAAAAAAAAAAAAA1", false, 0, 0},
  };
  for (const Case& c : refs) {
    int32_t column = -1, row = -1;
    EXPECT_EQ(ParseCellRef(c.text, column, row), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(std::make_pair(column, row), std::make_pair(c.column, c.row)) << c.text;
    }
  }
  for (int32_t column : {0, 25, 26, 701, 702, 16383}) {
    int32_t back = -1, row = 0;
    ASSERT_TRUE(ParseCellRef(ColumnName(column) + "1", back, row)) << column;
    EXPECT_EQ(back, column);
  }
  EXPECT_EQ(ColumnName(701), "ZZ");
  EXPECT_EQ(ColumnName(702), "AAA");

  TCellRange r;
  ASSERT_TRUE(ParseCellRange("F100:B2", r));  // either corner first
  EXPECT_EQ((std::vector<int32_t>{r.firstColumn, r.lastColumn, r.firstRow, r.lastRow}), (std::vector<int32_t>{1, 5, 2, 100}));
  ASSERT_TRUE(ParseCellRange("C3", r));
  EXPECT_EQ((std::vector<int32_t>{r.firstColumn, r.lastColumn, r.firstRow, r.lastRow}), (std::vector<int32_t>{2, 2, 3, 3}));
  for (const char* bad : {"B2:", ":F1", "B2-F100", "B2:F100:G1", "B:F"}) EXPECT_FALSE(ParseCellRange(bad, r)) << bad;
}

TEST(XlsxCellsTest, EscapesDecodeToTheirCharacters) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"a_x000D__x000A_b", "a\r\nb"},
      {"_x0001_", "\x01"},
      {"_x005F_x0041_", "_x0041_"},  // an escaped underscore keeps what follows literal
      {"_x0041", "_x0041"},          // no closing underscore: no escape
      {"_x00G1_", "_x00G1_"},
      {"_X4E2D_", "中"},             // upper-case X and hex digits
      {"_xD83D__xDE00_", "😀"},      // a surrogate pair is one character
      {"_xD83D_x", "\xEF\xBF\xBD" "x"},
      {"_xDE00_", "\xEF\xBF\xBD"},
      {"plain_text_", "plain_text_"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(DecodeXlsxEscapes(in), out) << in;
}

TEST(XlsxCellsTest, DateFormatsAreTheOnesWithDatePartsOutsideQuotesAndBrackets) {
  const std::vector<std::pair<const char*, bool>> codes = {
      {"yyyy-mm-dd", true},         {"m/d/yy h:mm", true},      {"[h]:mm:ss", true},    {"mm:ss.0", true},
      {"yyyy\"年\"m\"月\"d\"日\"", true}, {"[$-F800]dddd, mmmm dd, yyyy", true},
      {"General", false},           {"0.00E+00", false},        {"#,##0.00", false},    {"@", false},
      {"\"days\" 0", false},        {"[Red]0.00", false},       {"0\\d", false},        {"0_)", false},
      {"0_s", false},               {"*m0", false},             {"[$-804]0.00", false}, {"\"unclosed", false},
      {"0;[Red]-0", false},         {"0.00 \"h\"", false},
  };
  for (const auto& [code, date] : codes) EXPECT_EQ(IsDateFormatCode(code), date) << code;
  for (int32_t id = 0; id <= 164; ++id) {
    const bool date = (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58);
    EXPECT_EQ(IsBuiltinDateFormat(id), date) << id;
  }
}

TEST(XlsxCellsTest, NumbersKeepIntegerDigitsAndOtherwiseTheShortestText) {
  struct Case {
    const char* written;
    const char* text;  // nullptr: no number
  };
  const Case cases[] = {
      {"42", "42"},
      {"-7", "-7"},
      {"0", "0"},
      {"123456789012345678901234567890", "123456789012345678901234567890"},  // beyond 64 bits, as written
      {"0.30000000000000004", "0.30000000000000004"},
      {"0.30000000000000004441", "0.30000000000000004"},
      {"1e+300", "1E300"},
      {"1.0", "1"},
      {"007", "7"},
      {"-0", "0"},
      {"4.9406564584124654E-324", "5E-324"},
      {"", nullptr},
      {"abc", nullptr},
      {"1,5", nullptr},
  };
  for (const Case& c : cases) {
    std::string out;
    double value = 0;
    EXPECT_EQ(XlsxNumberText(c.written, out, value), c.text != nullptr) << c.written;
    if (c.text) {
      EXPECT_EQ(out, c.text) << c.written;
    }
  }
}

TEST(XlsxCellsTest, DateSerialsInBothSystems) {
  struct Case {
    double serial;
    bool date1904;
    const char* text;  // nullptr: no date
  };
  const Case cases[] = {
      {1, false, "1900-01-01"},
      {59, false, "1900-02-28"},
      {60, false, nullptr},  // 1900-02-29, a day that never was
      {60.5, false, nullptr},
      {61, false, "1900-03-01"},
      {45356, false, "2024-03-05"},
      {45356.25495949074, false, "2024-03-05 06:07:08.500"},
      {45356.999999999, false, "2024-03-06"},  // rounds to the next midnight
      {45356.5 + 1.0 / 86400000, false, "2024-03-05 12:00:00.001"},
      {0.5, false, "12:00:00"},  // a time of day alone
      {0.75, true, "18:00:00"},
      {1, true, "1904-01-02"},
      {43894.25495949074, true, "2024-03-05 06:07:08.500"},
      {2958465, false, "9999-12-31"},
      {2958466, false, nullptr},
      {-1, false, nullptr},
      {-1, true, nullptr},
      {NAN, false, nullptr},
  };
  for (const Case& c : cases) {
    double dt = 0;
    bool dayless = false;
    const bool ok = XlsxSerialToDateTime(c.serial, c.date1904, dt, dayless);
    EXPECT_EQ(ok, c.text != nullptr) << c.serial << (c.date1904 ? " 1904" : " 1900");
    if (ok && c.text) {
      EXPECT_EQ(XlsxDateTimeText(dt, dayless), c.text) << c.serial;
    }
  }
}

}  // namespace
}  // namespace ryn
