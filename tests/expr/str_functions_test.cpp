// The text functions a script host adds to its parser.
#include <gtest/gtest.h>

#include <vector>

#include "expr/common_functions.h"
#include "expr/str_functions.h"
#include "expr/syntax_errors.h"
#include "expr/syntax_parser.h"
#include "platform/codepage.h"

namespace ryn {
namespace {

class StrFuncTest : public ::testing::Test {
 protected:
  StrFuncTest() { parser.AddFunctionListener(functions); }

  TCommonFunctionsRegistration common;  // DATEVALUE
  IntfPtr<TStrFunc> functions = MakeIntf<TStrFunc>();
  TSyntaxParser parser;
};

TEST_F(StrFuncTest, Values) {
  struct Case {
    const char* formula;
    const char* text;
  } cases[] = {
      {"Trimleft(\"  a b  \")", "a b  "},
      {"TRIMRIGHT(\"  a b  \")", "  a b"},
      {"trim(\"  a b  \")", "a b"},
      {"FillLeft(5,\"ab\",\"0\")", "000ab"},
      {"FillRight(5,\"ab\")", "ab   "},
      {"FillRight(1,\"ab\")", "a"},
      {"FillLeft(1,\"ab\")", "a"},
      {"FillLeft(2+3,\"ab\",\"xyz\")", "xxxab"},
      {"FillLeft(4,\" ab \",\"\")", "  ab"},  // Str is trimmed; an empty Chr is a space
      {"FillLeft(-2,\"ab\")", ""},
      {"FillRight(2.5,\"abc\")", "ab"},  // 2.5 rounds to the even 2
      {"FormatDate(DATEVALUE(\"2004-02-29\"))", "2004-02-29"},
      {"FormatDate(DATEVALUE(\"2004-02-29\"),\"yyyymmdd\")", "20040229"},
  };
  for (const auto& c : cases) {
    TCommonData direct;
    parser.SetCompile(true);
    ASSERT_EQ(parser.Calculate(c.formula, direct), 0) << c.formula;
    parser.SetCompile(false);
    TCommonData compiled;
    parser.EvaluateValue(*parser.TakeCompiled(), compiled);
    EXPECT_EQ(direct.StrValue, c.text) << c.formula;
    EXPECT_EQ(compiled.StrValue, c.text) << c.formula;
  }
}

// The text is cut and the fill laid in whole characters; what does not fit whole is blank
// at the outer edge. 中 and 文 take two bytes under GBK, three under UTF-8.
TEST_F(StrFuncTest, FillingNeverSplitsACharacter) {
  struct Case {
    const char* formula;  // UTF-8
    const char* text;     // UTF-8
  };
  const bool utf8 = ProcessCodePage().Kind() == CodePageKind::kUtf8;
  const std::vector<Case> gbk = {
      {"FillRight(5,\"中文\")", "中文 "},
      {"FillRight(3,\"中文\")", "中 "},
      {"FillLeft(3,\"中文\")", "中 "},
      {"FillRight(11,\"统计局报表数据\")", "统计局报表 "},
      {"FillRight(12,\"统计局报表数据\")", "统计局报表数"},
      {"FillLeft(5,\"ab\",\"中\")", " 中ab"},
      {"FillRight(5,\"ab\",\"中文\")", "ab中 "},
      {"FillLeft(3,\"ab\",\"中\")", " ab"},
      {"FormatDate(DATEVALUE(\"2004-02-29\"),\"yyyy癲\")", "2004癲"},  // 癲 is B0 64, "d"
  };
  const std::vector<Case> utf8Cases = {
      {"FillRight(4,\"中文\")", "中 "},
      {"FillLeft(5,\"中文\")", "中  "},
      {"FillLeft(5,\"ab\",\"中\")", "中ab"},
      {"FillLeft(6,\"ab\",\"中\")", " 中ab"},
      {"FillRight(6,\"ab\",\"中\")", "ab中 "},
      {"FormatDate(DATEVALUE(\"2004-02-29\"),\"yyyy癲\")", "2004癲"},
  };
  for (const Case& c : utf8 ? utf8Cases : gbk) {
    const std::string formula = Ansi(c.formula);
    TCommonData direct;
    parser.SetCompile(true);
    ASSERT_EQ(parser.Calculate(formula, direct), 0) << c.formula;
    parser.SetCompile(false);
    TCommonData compiled;
    parser.EvaluateValue(*parser.TakeCompiled(), compiled);
    EXPECT_EQ(direct.StrValue, Ansi(c.text)) << c.formula;
    EXPECT_EQ(compiled.StrValue, Ansi(c.text)) << c.formula;
  }
}

TEST_F(StrFuncTest, CheckFlagAndFailures) {
  TCommonData s, n, d, result;
  s.SetString(" ab ");
  n.SetInt(4);
  d.SetDate(0);
  TCommonData missing;
  missing.DataType = kDataString;
  missing.IsNull = true;
  const TCommonData* trimArgs[] = {&s};
  const TCommonData* fillArgs[] = {&n, &s, &missing};
  const TCommonData* dateArgs[] = {&d, &missing};
  const TCommonData* wrongFill[] = {&s, &s, &missing};
  const TCommonData* wrongTrim[] = {&n};

  result.SetInt(7);
  EXPECT_EQ(functions->Execute("Trim", trimArgs, true, result), 0);
  EXPECT_EQ(result.DataType, kDataString);
  EXPECT_EQ(result.StrValue, "");  // checking only gives the type
  EXPECT_EQ(functions->Execute("FillLeft", fillArgs, true, result), 0);
  EXPECT_EQ(result.StrValue, "");
  EXPECT_EQ(functions->Execute("FormatDate", dateArgs, true, result), 0);
  EXPECT_EQ(result.StrValue, "1899-12-30");  // computed even when checking

  EXPECT_EQ(functions->Execute("Trim", wrongTrim, false, result), kErrBadArguments);
  EXPECT_EQ(functions->Execute("FillLeft", wrongFill, false, result), kErrBadArguments);
  EXPECT_EQ(functions->Execute("FillLeft", trimArgs, false, result), kErrBadArguments);
  EXPECT_EQ(functions->Execute("FormatDate", fillArgs, false, result), kErrBadArguments);
  EXPECT_EQ(functions->Execute("Upper", trimArgs, false, result), kErrUnknownSyntax);
}

}  // namespace
}  // namespace ryn
