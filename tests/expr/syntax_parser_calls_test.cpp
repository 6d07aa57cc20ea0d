// Function calls through listeners, compile mode, descriptions and error texts.
#include <gtest/gtest.h>

#include "expr/syntax_parser.h"
#include "parser_fixtures.h"
#include "platform/codepage.h"

namespace ryn {
namespace {

using testing::ItemsText;
using testing::TestCells;
using testing::TestListener;

class CallParserTest : public ::testing::Test {
 protected:
  CallParserTest() {
    parser.AddFunctionListener(listener);
    parser.AddCellProvider(cells);
    cells->knowsEveryCell = true;
  }
  int32_t Calc(std::string_view formula) {
    result = TCommonData();
    return parser.Calculate(Ansi(formula), result);
  }

  IntfPtr<TestListener> listener = MakeIntf<TestListener>();
  IntfPtr<TestCells> cells = MakeIntf<TestCells>();
  TSyntaxParser parser;
  TCommonData result;
};

TEST_F(CallParserTest, ArgumentsByDeclaredType) {
  struct Case {
    const char* formula;
    int32_t code;
    int32_t pos;
    const char* type;
    const char* text;
  } cases[] = {
      {"L$(\"abc\",2)", 0, 0, "string", "ab"},
      {"l$ ( \"abc\" , 1+1 )", 0, 0, "string", "ab"},
      {"L$(\"abc\",2.0)", 0, 0, "string", ""},  // a double reaches the listener as such
      {"OPT(1)", 0, 0, "string", "1|null|null"},
      {"OPT(1,,\"x\")", 0, 0, "string", "1|null|x"},
      {"OPT(1=1)", 0, 0, "string", "-1|null|null"},  // true as a number is -1
      {"OPT(1,2,\"x\",4)", 3, 12, "", ""},
      {"SUMOF(1,2.5,3)", 0, 0, "double", "6.5"},
      {"SUMOF(1)", 0, 0, "double", "1"},
      {"SUMOF()", 202, 7, "", ""},
      {"SUMOF(1,,2)", 202, 9, "", ""},
      {"SUMOF(1,\"a\")", 16, 12, "", ""},
      {"DAYS(10)-DAYS(3)", 0, 0, "int", "7"},
      {"DAYS(10)>DAYS(3)", 0, 0, "bool", "1"},
      {"DAYS(10)+DAYS(3)", 152, 17, "", ""},
      {"DAYS(10)-1", 152, 11, "", ""},
      {"ECHO(DAYS(1))-DAYS(0)", 0, 0, "int", "1"},
      {"NOT(1=1)", 0, 0, "bool", "0"},
      {"NOT(1)", 19, 6, "", ""},
      {"%a1_.x+1", 152, 9, "", ""},
      {"%a1_.x", 0, 0, "string", "PA1_.X"},
      {"ABX(1)", 201, 4, "", ""},
      {"L$(\"a\")", 202, 7, "", ""},
      {"L$(\"a\",)", 202, 8, "", ""},
      {"L$(1,1)", 17, 5, "", ""},
      {"L$(\"a\",\"b\")", 16, 11, "", ""},
      {"L$(\"a\" 2)", 3, 8, "", ""},
      {"L$(\"a\",2,3)", 3, 9, "", ""},
      {"FAIL()", 999, 6, "", ""},
      {"FAIL(1)", 3, 6, "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Calc(c.formula), c.code) << c.formula;
    if (c.code != 0) {
      EXPECT_EQ(parser.ErrorPosition(), c.pos) << c.formula;
    } else {
      EXPECT_EQ(DataTypeName(result.DataType), c.type) << c.formula;
      EXPECT_EQ(result.AsText(), c.text) << c.formula;
    }
  }
}

TEST_F(CallParserTest, UntakenBranchesOnlyCheck) {
  EXPECT_EQ(Calc("IF 1=1 THEN L$(\"a\",1) ELSE L$(\"b\",1)"), 0);
  EXPECT_EQ(result.StrValue, "a");
  ASSERT_EQ(listener->calls.size(), 2u);
  EXPECT_FALSE(listener->calls[0].check);
  EXPECT_TRUE(listener->calls[1].check);

  listener->calls.clear();
  EXPECT_EQ(Calc("IF OPT(1)=\"x\" THEN L$(\"a\",1) ELSE L$(\"b\",1)"), 0);
  EXPECT_EQ(result.StrValue, "b");
  ASSERT_EQ(listener->calls.size(), 3u);
  EXPECT_FALSE(listener->calls[0].check);
  EXPECT_TRUE(listener->calls[1].check);
  EXPECT_FALSE(listener->calls[2].check);

  listener->calls.clear();
  parser.SetCheckOnly(true);
  Calc("IF 1=1 THEN L$(\"a\",1) ELSE L$(\"b\",1)");
  ASSERT_EQ(listener->calls.size(), 2u);
  EXPECT_TRUE(listener->calls[0].check && listener->calls[1].check);
}

// Answers L$ with "global" and every message with its own text.
class GlobalListener : public TCustomSyntaxFunctionListener {
 public:
  GlobalListener() { functions_.Add("L$", "").AddParam("text", "", false, false, kDataString); }
  int32_t Execute(std::string_view, std::span<const TCommonData* const>, bool, TCommonData& result) override {
    result.SetString("global");
    return 0;
  }
  std::string GetErrorText(int32_t code) override { return code == 998 ? "global 998" : ""; }
};

TEST_F(CallParserTest, GlobalListenersComeFirstForCallsButLastForMessages) {
  IntfPtr<ISyntaxFunctionListener> global = MakeIntf<GlobalListener>();
  RegisterSyntaxListener(global);
  EXPECT_EQ(Calc("L$(\"abc\")"), 0);
  EXPECT_EQ(result.StrValue, "global");
  EXPECT_EQ(parser.ErrorText(999), Ansi("测试失败"));
  EXPECT_EQ(parser.ErrorText(998), "global 998");
  UnregisterSyntaxListener(global);

  EXPECT_EQ(parser.ErrorText(998), Ansi("未定义的错误"));
  EXPECT_EQ(parser.ErrorText(12), Ansi("缺少双引号“\"”"));
  EXPECT_EQ(parser.ErrorText(0), Ansi("公式语法正确"));
}

TEST_F(CallParserTest, CompiledItemLists) {
  struct Case {
    const char* formula;
    const char* cond;
    const char* then;
    const char* otherwise;
  } cases[] = {
      {"1+2*3", "", "1 2 3 * +", ""},
      {"-1+2", "", "1 NEG 2 +", ""},
      {"+1.5", "", "1.5d", ""},
      {"2*-12", "", "2 -12 *", ""},
      {"NOT 1=2", "", "1 2 = NOT", ""},
      {"1=1 AND 2<>3 OR 1>=2", "", "1 1 = 2 3 <> AND 1 2 >= OR", ""},
      {"L$(\"ab\",1)", "", "\"ab\" 1 L$()", ""},
      {"SUMOF(1,2,3)", "", "1 2 3 3 SUMOF()", ""},
      {"OPT(1,,\"x\")", "", "1 NULL:int \"x\" OPT()", ""},
      {"OPT(1)", "", "1 NULL:int NULL:string OPT()", ""},
      {"%X1", "", "\"X1\" %()", ""},
      {"[A,2Y] + T[1,2]", "", "[A,2Y] [1,2] +", ""},
      {"[1,1]&[2,2]", "", "[1,1] [1,2] + [2,1] + [2,2] +", ""},
      {"IF [1,*]>0 THEN 1 ELSE 2 {3}{4}", "[1,4] 0 >", "1", "2"},
      {"IF 1=1 THEN 2 ELSE 3", "1 1 =", "2", "3"},
      {"IF 1=2 THEN \"a\"", "1 2 =", "\"a\"", ""},
  };
  parser.SetCompile(true);
  for (const auto& c : cases) {
    ASSERT_EQ(Calc(c.formula), 0) << c.formula;
    std::unique_ptr<TNiporlan> compiled = parser.TakeCompiled();
    ASSERT_NE(compiled, nullptr);
    EXPECT_EQ(ItemsText(compiled->CondItems), c.cond) << c.formula;
    EXPECT_EQ(ItemsText(compiled->ThenItems), c.then) << c.formula;
    EXPECT_EQ(ItemsText(compiled->ElseItems), c.otherwise) << c.formula;
    EXPECT_EQ(parser.TakeCompiled(), nullptr);
  }

  cells->SetInt("[A]", 0);
  ASSERT_EQ(parser.CheckAssignment("[A]=1+2", result), 0);
  EXPECT_EQ(ItemsText(parser.TakeCompiled()->ThenItems), "[A] 1 2 + :=");

  ASSERT_EQ(Calc("// nothing"), 0);
  EXPECT_TRUE(parser.TakeCompiled()->IsEmpty());

  parser.SetCompile(false);
  Calc("1");
  EXPECT_EQ(parser.TakeCompiled(), nullptr);
}

TEST_F(CallParserTest, Descriptions) {
  cells->readings["[A]"] = Ansi("甲");
  struct Case {
    const char* formula;
    const char* text;
  } cases[] = {
      {"IF 1=1 and NOT 2>3 THEN L$(\"ab\",1) ELSE 3.50",
       "如果 1=1 并且 非 2>3 则 左串(\"ab\",1) 否则 3.50"},
      {"-(1+2)*[A]", "-(1+2)*甲"},
      {"[B,-1N] / 2 OR 1", "[B,-1N]/2 或者 1"},
      {"[1,1]&[1,2]", "[1,1]&[1,2]"},
      {"OPT(1,,\"x\") + %p", "可选(1,,\"x\")+百分(P)"},
  };
  parser.SetDescribe(true);
  for (const auto& c : cases) {
    Calc(c.formula);
    EXPECT_EQ(parser.Description(), Ansi(c.text)) << c.formula;
  }
}

}  // namespace
}  // namespace ryn
