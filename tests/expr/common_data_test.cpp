#include <gtest/gtest.h>

#include <climits>

#include "expr/common_data.h"
#include "platform/codepage.h"
#include "platform/datetime.h"

namespace ryn {
namespace {

TCommonData Int(int32_t v) {
  TCommonData d;
  d.SetInt(v);
  return d;
}
TCommonData Dbl(long double v) {
  TCommonData d;
  d.SetDouble(v);
  return d;
}
TCommonData Str(std::string v) {
  TCommonData d;
  d.SetString(std::move(v));
  return d;
}
TCommonData Bool(bool v) {
  TCommonData d;
  d.SetBool(v);
  return d;
}
TCommonData Date(int y, int m, int day) {
  TDateTime t = 0;
  EXPECT_TRUE(TryEncodeDate(y, m, day, t));
  TCommonData d;
  d.SetDate(t);
  return d;
}
TCommonData Null(TCommonData d) {
  d.IsNull = true;
  return d;
}

TEST(CommonDataTest, TextOfEveryType) {
  struct Case {
    TCommonData value;
    const char* text;
  } cases[] = {
      {TCommonData(), ""},          {Int(-42), "-42"},         {Dbl(3.5L), "3.5"},
      {Dbl(1.5E20L), "1.5E20"},     {Dbl(1.0L / 3), "0.333333333333333"},
      {Str("a b"), "a b"},          {Bool(true), "1"},         {Bool(false), "0"},
      {Date(2024, 3, 5), "2024-03-05"}, {Null(Int(7)), "null"}, {Null(TCommonData()), "null"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.value.AsText(), c.text) << c.text;
}

TEST(CommonDataTest, CompareByTypeRules) {
  struct Case {
    TCommonData a, b;
    int sign;  // expected sign, or 255 exactly
  } cases[] = {
      {Int(1), Dbl(1), 255},
      {Str("1"), Int(1), 255},
      {Int(3), Int(5), -1},
      {Int(INT_MIN), Int(1), -1},  // the difference would overflow 32 bits
      {Int(INT_MAX), Int(-1), 1},
      {Dbl(1.000001L), Dbl(1), 0},
      {Dbl(1.0001L), Dbl(1), 1},
      {Str("abc"), Str("ABC"), 0},
      {Str("abc"), Str("abd"), -1},
      {Bool(true), Bool(true), 0},
      {Bool(true), Bool(false), 255},
      {Bool(false), Bool(true), 255},
      {Date(2024, 1, 2), Date(2024, 1, 1), 1},
      {TCommonData(), TCommonData(), 0},
      {Null(Int(9)), Null(Int(4)), 0},
      // A null counts as the zero value; the other side keeps its own value.
      {Null(Int(9)), Int(5), -1},
      {Int(5), Null(Int(9)), 1},
      {Null(Int(9)), Int(0), 0},
      {Null(Str("x")), Str(""), 0},
      {Null(Bool(true)), Bool(true), 255},
  };
  for (const Case& c : cases) {
    int r = c.a.Compare(c.b);
    int sign = r == 255 ? 255 : (r > 0) - (r < 0);
    EXPECT_EQ(sign, c.sign) << c.a.AsText() << " vs " << c.b.AsText();
  }
}

TEST(CommonDataTest, CompareLeavesNullValuesAlone) {
  TCommonData a = Null(Int(9));
  TCommonData b = Int(5);
  a.Compare(b);
  EXPECT_EQ(a.IntValue, 9);
  EXPECT_EQ(b.IntValue, 5);
}

TEST(CommonDataTest, ClearKeepsTypeAndNullFlagAndSyntaxDataCarriesItsCell) {
  TCommonData d = Null(Str("x"));
  d.IntValue = 3;
  d.Clear();
  EXPECT_EQ(d.DataType, kDataString);
  EXPECT_TRUE(d.IsNull);
  EXPECT_EQ(d.StrValue, "");
  EXPECT_EQ(d.IntValue, 0);

  TSyntaxData cell;
  cell.DataType = kDataCell;
  cell.Cell.Name = "A";
  TSyntaxData copy;
  copy.Assign(cell);
  EXPECT_EQ(copy.Cell.Name, "A");
  TSyntaxData plain;
  plain.Assign(Int(1));  // not a cell: the cell of the target stays
  copy.Assign(plain);
  EXPECT_EQ(copy.Cell.Name, "A");
  copy.Clear();
  EXPECT_EQ(copy.Cell.Name, "");
}

TEST(SyntaxCellTest, TextForm) {
  auto make = [](auto setup) {
    TSyntaxCell c;
    setup(c);
    return c.AsText();
  };
  EXPECT_EQ(make([](TSyntaxCell& c) { c.Name = "A1"; }), "[A1]");
  EXPECT_EQ(make([](TSyntaxCell& c) {
              c.Name = "A";
              c.Absolute = true;
              // From a std::string: GCC 12 at -O3 takes the overlap check of assigning a
              // literal to the empty string for a read of its buffer.
              c.UnitSuffix = std::string("U2");
            }),
            "[A$]@U2");
  EXPECT_EQ(make([](TSyntaxCell& c) {
              c.ByName = false;
              c.Row = 3;
              c.Col = -1;
              c.OffsetCount = -1;
              c.PeriodKind = 4;
              c.PeriodCount = 2;
              c.HasCondition = true;
              c.Condition = "X>1";
              c.Dimensions = {"D=1", "E=Z"};
              c.StatMode = 9;
            }),
            "[3,-1,-1N,2Y,'X>1',D=1,E=Z,AUTOSUM]");
  EXPECT_EQ(make([](TSyntaxCell& c) {
              c.Name = "B";
              c.PeriodKind = 1;
            }),
            "[B,N]");
  EXPECT_EQ(make([](TSyntaxCell& c) {
              c.Name = "B";
              c.PeriodCount = 3;  // a count without a period word
            }),
            "[B,3]");
}

TEST(SyntaxCellTest, PeriodAndStatisticsWords) {
  EXPECT_EQ(FindPeriod("n"), 1);
  EXPECT_EQ(FindPeriod(Ansi("半年")), 2);
  EXPECT_EQ(FindPeriod(Ansi("期")), 8);
  EXPECT_EQ(FindPeriod("B"), 8);
  EXPECT_EQ(FindPeriod("NN"), 0);
  EXPECT_EQ(FindPeriod(""), 0);
  EXPECT_EQ(FindStat("autosum"), 9);
  EXPECT_EQ(FindStat("LJ"), 8);
  EXPECT_EQ(FindStat("SUMS"), 0);
}

}  // namespace
}  // namespace ryn
