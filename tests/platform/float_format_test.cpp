#include <gtest/gtest.h>

#include "platform/float_format.h"

namespace ryn {
namespace {

TEST(FloatFormatTest, GeneralFormatTable) {
  struct Case {
    long double value;
    const char* expected;
  } cases[] = {
      {0, "0"},
      {-0.0L, "0"},
      {1, "1"},
      {-1.5, "-1.5"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {1.0L / 3, "0.333333333333333"},
      {123456.789, "123456.789"},
      {999999999999999.0, "999999999999999"},
      {1e15, "1E15"},
      {1.5e20, "1.5E20"},
      {-2.5e30L, "-2.5E30"},
      {123456789012345678.0, "1.23456789012346E17"},
      {0.0001234, "0.0001234"},
      {0.00001, "0.00001"},
      {0.000012345, "0.000012345"},
      {0.000009, "9E-6"},
      {1.25e-10, "1.25E-10"},
      {100, "100"},
      {1e14, "100000000000000"},
      {99999.99999999999, "100000"},  // rounds up a digit
      {1e-300, "1E-300"},
      {-1.25e-4000L, "-1.25E-4000"},  // exponents of four digits, long double only
      {1e4000L, "1E4000"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatGeneral(c.value), c.expected) << static_cast<double>(c.value);
}

TEST(FloatFormatTest, SeparatorPrecisionAndSpecialValues) {
  EXPECT_EQ(FormatGeneral(1.5, ','), "1,5");
  EXPECT_EQ(FormatGeneral(-1.5e-7, ','), "-1,5E-7");
  EXPECT_EQ(FormatGeneral(1.0L / 3, '.', 18), "0.333333333333333333");
  EXPECT_EQ(FormatGeneral(0.1f, '.', 7), "0.1");
  EXPECT_EQ(FormatGeneral(static_cast<double>(0.1f)), "0.100000001490116");
  EXPECT_EQ(FormatGeneral(1.0 / 0.0), "INF");
  EXPECT_EQ(FormatGeneral(-1.0 / 0.0), "-INF");
  EXPECT_EQ(FormatGeneral(0.0 / 0.0), "NAN");
}

TEST(FloatFormatTest, Currency) {
  EXPECT_EQ(FormatCurrency(12345), "1.2345");
  EXPECT_EQ(FormatCurrency(-5000), "-0.5");
  EXPECT_EQ(FormatCurrency(10000), "1");
  EXPECT_EQ(FormatCurrency(0), "0");
  EXPECT_EQ(FormatCurrency(15000, ','), "1,5");
}

}  // namespace
}  // namespace ryn
