// The common functions, each case run both ways a formula is evaluated: directly while
// checking (ints stay ints) and compiled (every number arrives as a double).
#include <gtest/gtest.h>

#include <cmath>

#include "expr/common_functions.h"
#include "expr/function_signature.h"
#include "expr/syntax_errors.h"
#include "expr/syntax_parser.h"
#include "platform/codepage.h"
#include "platform/locale_settings.h"

namespace ryn {
namespace {

struct Case {
  const char* formula;  // UTF-8
  const char* text;     // AsText of the value
};

class CommonFunctionsTest : public ::testing::Test {
 protected:
  CommonFunctionsTest() : savedLocale(LocaleSettings()) { LocaleSettings() = TFormatSettings(); }
  ~CommonFunctionsTest() override { LocaleSettings() = savedLocale; }

  // The value's text, after checking that the compiled formula gives the same text.
  std::string Value(std::string_view formula) {
    TCommonData direct;
    std::string text = Ansi(formula);
    EXPECT_EQ(parser.Calculate(text, direct), 0) << formula;
    parser.SetCompile(true);
    parser.SetCheckOnly(true);
    TCommonData ignored;
    EXPECT_EQ(parser.Calculate(text, ignored), 0) << formula;
    parser.SetCompile(false);
    parser.SetCheckOnly(false);
    std::unique_ptr<TNiporlan> compiled = parser.TakeCompiled();
    TCommonData value;
    if (compiled) parser.EvaluateValue(*compiled, value);
    EXPECT_EQ(value.AsText(), direct.AsText()) << formula << " (compiled)";
    return direct.AsText();
  }

  void Check(std::initializer_list<Case> cases) {
    for (const Case& c : cases) EXPECT_EQ(Value(c.formula), Ansi(c.text)) << c.formula;
  }

  TFormatSettings savedLocale;
  TCommonFunctionsRegistration registration;
  TSyntaxParser parser;
};

TEST_F(CommonFunctionsTest, Numbers) {
  Check({
      {"ABS(-3)", "3"},
      {"ABS(-2.5)", "2.5"},
      {"INT(-2.5)", "-2"},  // toward zero
      {"INT(2.7)", "2"},
      {"ROUND(2.5)", "3"},
      {"ROUND(-2.5)", "-3"},
      {"ROUND(1.234,2)", "1.23"},
      {"ROUND(2.499995)", "3"},  // fractions above 0.49999 count as halves
      {"ROUND(2.49998)", "2"},
      {"ROUND(1.005,2)", "1.01"},
      {"ROUND(1250,-2)", "1300"},
      {"ROUND(2.5,0.4)", "3"},  // dec is rounded to 0
      {"MOD(6,3)", "0"},
      {"MOD(5,0)", "0"},
      {"MOD(-7,3)", "-1"},
      {"MOD(7,-3)", "1"},
      {"MOD(-6,3)", "0"},
      {"MOD(7.5,2)", "1.5"},
      {"POWER(-8,0.5)", "1"},
      {"POWER(-8,3)", "-512"},
      {"POWER(2,10)", "1024"},
      {"POWER(4,0.5)", "2"},
      {"POWER(0,-1)", "0"},  // the power fails
  });
}

TEST_F(CommonFunctionsTest, ByteBasedText) {
  Check({
      {"L$(\"ABC\",2)", "AB"},
      {"L$(\"ABC\",-1)", ""},
      {"L$(\"ABC\",2.5)", "AB"},  // 2.5 rounds to the even 2
      {"M$(\"ABCDEF\",2,3)", "BCD"},
      {"M$(\"ABC\",0,2)", "AB"},
      {"M$(\"ABC\",3,9)", "C"},
      {"M$(\"ABC\",4,1)", ""},
      {"R$(\"ABC\",5)", "ABC"},
      {"R$(\"ABC\",2)", "BC"},
      {"LEN(\"ABC\")", "3"},
      {"LEN(\"\")", "0"},
      {"VAL(\"1,234.5\")", "1234.5"},
      {"VAL(\"12.5kg\")", "12.5"},
      {"VAL(\"kg\")", "0"},
      {"VAL(\" -3e2x\")", "-300"},
      {"VAL(\".5\")", "0.5"},
      {"VAL(\"1e400\")", "1E400"},  // past a double's range: extended on every platform
      {"POS(\"C\",\"ABCABC\")", "3"},
      {"POS(\"X\",\"ABC\")", "0"},
      {"POS(\"\",\"ABC\")", "0"},
      {"ISDIGIT(\"0123\")", "1"},
      {"ISDIGIT(\"\")", "1"},
      {"ISDIGIT(\"1.5\")", "0"},
      {"STR(12)", "12"},
      {"STR(2.5)", "2.5"},
      {"STR(\"x\")", "x"},
      {"STR(1=1)", "True"},
      {"STR(1=2)", "False"},
      {"STR(DATE(2004,2,29))", "2004-02-29"},
  });
  const std::string zh = Ansi("中文");
  EXPECT_EQ(Value("LEN(\"中文\")"), std::to_string(zh.size()));
  // Under GBK the trail byte of 丄 is "A"; it is no match of its own.
  EXPECT_EQ(Value("POS(\"A\",\"丄A\")"), std::to_string(Ansi("丄").size() + 1));
  // Nor is half a character: the lead byte of 中 does not occur in 中.
  TCommonData pos;
  ASSERT_EQ(parser.Calculate("POS(\"" + zh.substr(0, 1) + "\",\"" + zh + "\")", pos), 0);
  EXPECT_EQ(pos.AsText(), "0");
}

// Lengths and positions count bytes, and the bytes of a character cut at either edge
// become blanks: 中 and 文 are two bytes under GBK, three under UTF-8.
TEST_F(CommonFunctionsTest, TextCutsNeverSplitACharacter) {
  if (ProcessCodePage().Kind() == CodePageKind::kUtf8) {
    Check({
        {"L$(\"中文\",1)", " "},
        {"L$(\"中文\",4)", "中 "},
        {"L$(\"中文\",5)", "中  "},
        {"M$(\"中文\",2,2)", "  "},
        {"M$(\"中文\",3,4)", " 文"},
        {"M$(\"中文\",4,9)", "文"},
        {"R$(\"中文\",2)", "  "},
        {"R$(\"中文\",4)", " 文"},
        {"L$(\"é\",1)", " "},
        {"M$(\"a😀b\",2,2)", "  "},
        {"M$(\"a😀b\",2,5)", "😀b"},
        {"POS(\"文\",\"中文\")", "4"},
    });
    return;
  }
  Check({
      {"L$(\"中文\",1)", " "},
      {"L$(\"中文\",3)", "中 "},
      {"L$(\"a中文b\",2)", "a "},
      {"L$(\"a中文b\",9)", "a中文b"},
      {"M$(\"中文\",2,2)", "  "},  // not 形, which the middle bytes spell
      {"M$(\"中文\",2,3)", " 文"},
      {"M$(\"中文\",3,2)", "文"},
      {"M$(\"a中文b\",3,9)", " 文b"},
      {"M$(\"a中文b\",2,3)", "中 "},
      {"R$(\"中文\",1)", " "},
      {"R$(\"中文\",3)", " 文"},
      {"R$(\"a中文b\",4)", " 文b"},
      {"POS(\"文\",\"中文\")", "3"},
      {"STR(LEN(M$(\"统计局报表数据\",2,12)))", "12"},
  });
}

// Organization codes: the weighted sum of D2143569 is 199 (199 mod 11 = 1, so "X"); that
// of 10000004 is 11; that of 12345678 is 201 (201 mod 11 = 3, so 11 - 3).
TEST_F(CommonFunctionsTest, OrganizationCodeCheck) {
  Check({{"IDC(\"D2143569\")", "X"},
         {"IDC(\"d2143569\")", "X"},
         {"IDC(\"10000004\")", "0"},
         {"IDC(\"12345678\")", "8"}});
  for (const char* bad : {"IDC(\"1234567\")", "IDC(\"1234567*\")", "IDC(\"123456789\")"})
    EXPECT_EQ(Value(bad), std::string(1, '\0')) << bad;
}

TEST_F(CommonFunctionsTest, Dates) {
  Check({
      {"DATEVALUE(\"990312\")", "1999-03-12"},
      {"DATEVALUE(\"99-03-12\")", "1999-03-12"},
      {"DATEVALUE(\"99.3.12\")", "1999-03-12"},
      {"DATEVALUE(\"2003\")", "2003-01-01"},
      {"DATEVALUE(\"2003.5\")", "2003-05-01"},
      {"DATEVALUE(\"200305\")", "2003-05-01"},
      {"DATEVALUE(\"20030506\")", "2003-05-06"},
      {"DATEVALUE(\"2003/5/6\")", "2003-05-06"},
      {"DATEVALUE(\"\")", "1899-12-30"},
      {"DATEVALUE(\"2003-02-30\")", "1899-12-30"},
      {"DATEVALUE(\"06/05/2003\",\"dd/mm/yyyy\")", "2003-05-06"},
      {"DATEVALUE(\"2003-5-6\",\"yyyy-m-d\")", "2003-05-06"},
      {"DATEVALUE(\"2003.5.6\",\"yyyy-m-d\")", "1899-12-30"},
      // Under GBK the trail byte of 癲 is "d"; it is no pattern letter.
      {"DATEVALUE(\"2003-5-6\",\"yyyy-癲m-d\")", "2003-05-06"},
      {"DATE(2004,2,0)", "2004-02-29"},
      {"DATE(2003,2,0)", "2003-02-28"},
      {"DATE(2003,0,5)", "2003-12-05"},
      {"DATE(2003,13,1)", "1899-12-30"},
      {"DATEADD(DATE(2003,1,31),0,1)", "2003-03-03"},
      {"DATEADD(DATE(2004,1,31),0,1)", "2004-03-02"},
      {"DATEADD(DATE(2004,2,29),0,0,1)", "2005-03-01"},
      {"DATEADD(DATE(2003,3,1),-1)", "2003-02-28"},
      {"DATEADD(DATE(2003,1,15),20)", "2003-02-04"},
      {"DATEADD(DATE(2003,1,15),0,-13)", "2001-12-15"},
      {"DATEADD(DATE(2000,1,1),146097)", "2400-01-01"},  // 400 years to the day
      {"DATEADD(DATE(2000,1,1),-146097)", "1600-01-01"},
      {"DATEADD(DATE(9999,12,31),1)", "1899-12-30"},
      {"YEAR(DATE(2004,2,29))", "2004"},
      {"MONTH(DATE(2004,2,29))", "2"},
      {"DAY(DATE(2004,2,29))", "29"},
  });
  TCommonData today;
  ASSERT_EQ(parser.Calculate("TODAY()", today), 0);
  EXPECT_EQ(today.DateValue, std::floor(today.DateValue));
  EXPECT_NEAR(today.DateValue, Now(), 1.0);
}

// 11010519491231002X and 440524188001010014 are the examples of GB 11643; their weighted
// sums are 167 (mod 11 = 2, "X") and 195 (mod 11 = 8, "4").
TEST_F(CommonFunctionsTest, IdentityCards) {
  Check({
      {"ISIDCARD(\"11010519491231002X\")", "1"},
      {"ISIDCARD(\"440524188001010014\")", "1"},
      {"ISIDCARD(\"110105491231002\")", "1"},
      {"ISIDCARD(\"11010519491231002x\")", "0"},  // the check letter is upper-case
      {"ISIDCARD(\"110105194912310021\")", "0"},  // wrong check character
      {"ISIDCARD(\"440524188002300011\")", "0"},  // February 30
      {"ISIDCARD(\"110105491331002\")", "0"},     // month 13
      {"ISIDCARD(\"11010549123100A\")", "0"},
      {"ISIDCARD(\"1101051949123100\")", "0"},
      {"IDCARD18(\"110105491231002\")", "11010519491231002X"},
      {"IDCARD18(\"440524188001010014\")", "440524188001010014"},
      {"IDCARD18(\"110105491331002\")", ""},
      {"IDCARDDATE(\"110105491231002\")", "1949-12-31"},
      {"IDCARDDATE(\"440524188001010014\")", "1880-01-01"},
      {"IDCARDDATE(\"440524188001010015\")", "1899-12-30"},
  });
}

TEST_F(CommonFunctionsTest, ArgumentCountsAndNames) {
  ISyntaxFunctionListener& l = *registration.Listener();
  TCommonData one, text, result;
  one.SetInt(1);
  text.SetString("x");
  const TCommonData* oneArg[] = {&one};
  const TCommonData* textArg[] = {&text};
  const TCommonData* twoArgs[] = {&one, &one};
  EXPECT_EQ(l.Execute("ABS", {}, false, result), kErrBadArguments);
  EXPECT_EQ(l.Execute("ABS", twoArgs, false, result), kErrBadArguments);
  EXPECT_EQ(l.Execute("ABS", textArg, false, result), kErrBadArguments);
  EXPECT_EQ(l.Execute("NOPE", oneArg, false, result), kErrNoFunction);
  EXPECT_EQ(l.Execute("abs", oneArg, true, result), 0);  // computes even when checking
  EXPECT_EQ(result.AsText(), "1");
}

TEST_F(CommonFunctionsTest, SignatureText) {
  TSyntaxFunction* round = registration.Listener()->FindFunction("ROUND");
  ASSERT_NE(round, nullptr);
  EXPECT_EQ(SignatureText(*round), Ansi("说明：四舍五入取整\r\n"
                                        "声明: double ROUND(double value, double dec)\r\n\r\n"
                                        "\r\n参数 value: 数值\r\n参数 dec: 数位"));
  // DATEADD takes the day offset second and the year offset last, as declared.
  TSyntaxFunction* add = registration.Listener()->FindFunction("DATEADD");
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(SignatureText(*add), Ansi("说明：加日期\r\n"
                                      "声明: TDataTime DATEADD(TDataTime date, int day, int month, int year)\r\n\r\n"
                                      "\r\n参数 date: 日期\r\n参数 day: 加日\r\n参数 month: 加月\r\n参数 year: 加年"));
  TSyntaxFunction* today = registration.Listener()->FindFunction("TODAY");
  ASSERT_NE(today, nullptr);
  EXPECT_EQ(SignatureText(*today), Ansi("说明：今天\r\n声明: TDataTime TODAY()\r\n\r\n"));
}

}  // namespace
}  // namespace ryn
