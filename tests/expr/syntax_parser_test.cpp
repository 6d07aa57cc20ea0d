// Direct evaluation, statements and error positions, without functions or cells.
#include <gtest/gtest.h>

#include "expr/syntax_parser.h"
#include "platform/codepage.h"
#include "parser_fixtures.h"

namespace ryn {
namespace {

constexpr char V = 'V';  // Calculate
constexpr char C = 'C';  // CheckCondition

struct Case {
  const char* formula;
  char mode;
  int32_t code;
  int32_t pos;  // checked when code != 0
  const char* type;
  const char* text;
};

void RunCases(TSyntaxParser& parser, std::span<const Case> cases) {
  for (const Case& c : cases) {
    TCommonData r;
    std::string f = Ansi(c.formula);
    int32_t code = c.mode == C ? parser.CheckCondition(f, r) : parser.Calculate(f, r);
    EXPECT_EQ(code, c.code) << c.formula;
    if (c.code != 0) {
      EXPECT_EQ(parser.ErrorPosition(), c.pos) << c.formula;
    } else {
      EXPECT_EQ(DataTypeName(r.DataType), c.type) << c.formula;
      EXPECT_EQ(r.AsText(), Ansi(c.text)) << c.formula;
    }
  }
}

TEST(SyntaxParserTest, Arithmetic) {
  const Case cases[] = {
      {"1+2*3", V, 0, 0, "int", "7"},
      {"(1+2)*3", V, 0, 0, "int", "9"},
      {"7/2", V, 0, 0, "double", "3.5"},
      {"6/3", V, 0, 0, "int", "2"},
      {"5/0", V, 0, 0, "int", "0"},
      {"-7/2", V, 0, 0, "double", "-3.5"},
      {"1000000/999999", V, 0, 0, "double", "1.000001000001"},
      {"1.5/0.000001", V, 0, 0, "double", "0"},
      {"2-1.999999", V, 0, 0, "double", "0"},
      {"2147483646+1", V, 0, 0, "int", "2147483647"},
      {"2147483646+2", V, 0, 0, "double", "2147483648"},
      {"65536*65536", V, 0, 0, "double", "4294967296"},
      {"0-2147483646-2", V, 0, 0, "int", "-2147483648"},
      {"0-2147483646-3", V, 0, 0, "double", "-2147483649"},
      {"2*-12", V, 0, 0, "int", "-24"},
      {"2--1", V, 0, 0, "int", "3"},
      {"-3+1", V, 0, 0, "int", "-2"},
      {"- (2*3)", V, 0, 0, "int", "-6"},
      {"+-1", V, 151, 2, "", ""},
      {"-+1", V, 102, 2, "", ""},
      {"2*-X", V, 102, 3, "", ""},
      {"2147483646", V, 0, 0, "int", "2147483646"},
      {"2147483647", V, 0, 0, "double", "2147483647"},
      {"-2147483646", V, 0, 0, "int", "-2147483646"},
      {"1.25", V, 0, 0, "double", "1.25"},
      {"0.1+0.2", V, 0, 0, "double", "0.3"},
      {"99999999999999999999", V, 0, 0, "double", "1E20"},
      {"(1=1)+1", V, 0, 0, "int", "0"},
      {"\"ab\"+\"cd\"", V, 0, 0, "string", "abcd"},
      {"\"a\"-\"b\"", V, 152, 8, "", ""},
      {"+\"a\"", V, 152, 5, "", ""},
      {"1+\"a\"", V, 152, 6, "", ""},
      {"1+", V, 9, 3, "", ""},
      {"1 2", V, 101, 3, "", ""},
      {"1+#", V, 102, 3, "", ""},
      {"1 ANDY", V, 20, 3, "", ""},
      {"1 ORX", V, 21, 3, "", ""},
      {"1+AND", V, 157, 6, "", ""},
  };
  TSyntaxParser parser;
  RunCases(parser, cases);
}

TEST(SyntaxParserTest, ComparisonsAndLogic) {
  const Case cases[] = {
      {"1=1 and 2=2", C, 0, 0, "bool", "1"},
      {"1=1 AND 2=3 or 1<2", C, 0, 0, "bool", "1"},
      {"1=1 ANY", C, 20, 5, "", ""},
      {"1=1=1", C, 101, 4, "", ""},
      {"1<>2", C, 0, 0, "bool", "1"},
      {"2<=2", C, 0, 0, "bool", "1"},
      {"3>=4", C, 0, 0, "bool", "0"},
      {"1=1.000001", C, 0, 0, "bool", "1"},
      {"1.5>1.499999", C, 0, 0, "bool", "0"},
      {"\"A\"=\"a\"", C, 0, 0, "bool", "0"},  // case-sensitive while parsing
      {"\"B\"<\"a\"", C, 0, 0, "bool", "1"},  // byte order
      {"\"1\"=1", C, 152, 6, "", ""},
      {"(1=1)=(2=2)", C, 0, 0, "bool", "1"},
      {"(1=1)<(2=2)", C, 152, 12, "", ""},
      {"(1=1)=1", C, 152, 8, "", ""},
      {"1 AND 2", C, 152, 8, "", ""},
      {"1=1 OR 2", C, 152, 9, "", ""},
      {"NOT 1=2", C, 0, 0, "bool", "1"},
      {"NOT NOT 1=2", C, 0, 0, "bool", "0"},
      {"NOT 1=2 AND 1=2", C, 0, 0, "bool", "0"},
      {"NOT 1", C, 152, 6, "", ""},
      {"NOT (1=2)", C, 201, 5, "", ""},  // NOT before "(" names a function
      {"1+2", C, 19, 4, "", ""},
      {"", C, 0, 0, "bool", "1"},
      {"   // only a comment", C, 0, 0, "bool", "1"},
      {"", V, 0, 0, "void", ""},
  };
  TSyntaxParser parser;
  RunCases(parser, cases);
}

TEST(SyntaxParserTest, NormalizationAndNames) {
  const Case cases[] = {
      {"((((((1))))))", V, 0, 0, "int", "1"},
      {"(((((((1)))))))", V, 51, 7, "", ""},
      {"(1))", V, 52, 4, "", ""},
      {"(1", V, 52, 3, "", ""},
      {"\"a(\" + \"b\"", V, 0, 0, "string", "a(b"},  // brackets in literals do not count
      {"\"a\" + \"b", V, 53, 7, "", ""},
      {"\"x\" + \"(\" + (\"y", V, 53, 14, "", ""},
      {"1 // 2", V, 0, 0, "int", "1"},
      {"\"a//b\" // c", V, 0, 0, "string", "a//b"},
      {"1\r\n+2", V, 0, 0, "int", "3"},
      {"1\n+2", V, 101, 2, "", ""},  // a lone line feed is no space
      {"\"mixed Case\"", V, 0, 0, "string", "mixed Case"},
      {"FOO", V, 1, 4, "", ""},  // a bare name is a cell, and no cell resolves
      {"foo + 1", V, 1, 5, "", ""},
      {"IFX", V, 1, 4, "", ""},
  };
  TSyntaxParser parser;
  RunCases(parser, cases);

  TCommonData r;
  std::string longName(200, 'A');
  EXPECT_EQ(parser.Calculate(longName, r), 1);
  EXPECT_EQ(parser.Calculate(longName + "B", r), 157);
}

TEST(SyntaxParserTest, IfStatements) {
  const Case cases[] = {
      {"IF 1=1 THEN 2 ELSE 3", V, 0, 0, "int", "2"},
      {"if 1=2 then 2 else \"x\"", V, 0, 0, "string", "x"},
      {"IF 1=2 THEN 2", V, 0, 0, "void", ""},
      {"IF 1=2 THEN 1=2", C, 0, 0, "bool", "1"},
      {"IF 1=1 THEN 1=2", C, 0, 0, "bool", "0"},
      {"IF 1=1 THEN 2", C, 19, 14, "", ""},
      {"IF \"THEN\"=\"ELSE\" THEN 1 ELSE 2", V, 0, 0, "int", "2"},
      {"IF 1 THEN 2", V, 19, 6, "", ""},
      {"IF 1=1 1 THEN 2", V, 101, 8, "", ""},
      {"IF 1=1 THEN", V, 104, 12, "", ""},
      {"IF 1=1 THEN  ELSE 3", V, 104, 14, "", ""},
      {"IF 1=1 THEN 2 ELSE", V, 105, 19, "", ""},
      {"IF  THEN 2", V, 103, 5, "", ""},
      {"IF 1=1 2", V, 23, 9, "", ""},
      {"IF 1=1 THENX 2", V, 23, 15, "", ""},
      {"1=1 THEN 2", V, 101, 5, "", ""},
      {"IF 1=1 THEN 1+\"a\" ELSE 3", V, 152, 19, "", ""},
      {"IF 1=1 THEN 1 ELSE 1+\"a\"", V, 152, 25, "", ""},
      {"IF 1=2 THEN 5/0 ELSE 6/3", V, 0, 0, "int", "2"},
  };
  TSyntaxParser parser;
  RunCases(parser, cases);
}

TEST(SyntaxParserTest, LastErrorTextPutsTheCaretUnderTheStop) {
  struct Case {
    std::string formula;
    std::string expected;
  } cases[] = {
      {"1=1=1", Ansi("存在多余的字符") + "\r\n1=1=1\r\n   !"},
      // A part of an IF statement is read on its own; the caret stands in the whole text.
      {"IF 1 THEN 2", Ansi("缺少布尔值") + "\r\nIF 1 THEN 2\r\n     !"},
      {"IF 1=1 THEN 2 ELSE 1+", Ansi("缺少字符") + "\r\nIF 1=1 THEN 2 ELSE 1+\r\n                     !"},
      // Normalization failures show the text before upper-casing and space removal.
      {"x + [ a ] + (((((((1)))))))", Ansi("括号太多") + "\r\nx + [ a ] + (((((((1)))))))\r\n                  !"},
      // Double-byte characters count in bytes, as wide as they are in GBK.
      {Ansi("\"表\"+1"),
       Ansi("数据类型不匹配") + "\r\n" + Ansi("\"表\"+1") + "\r\n" + std::string(Ansi("\"表\"+1").size(), ' ') + "!"},
  };
  TSyntaxParser parser;
  for (const auto& c : cases) {
    TCommonData r;
    EXPECT_NE(parser.Calculate(c.formula, r), 0);
    EXPECT_EQ(parser.LastErrorText(), c.expected) << c.formula;
  }
}

// The stop in the formula as it was given: before line breaks were joined, the comment
// cut and the leading spaces trimmed.
TEST(SyntaxParserTest, ErrorOffsetInStandsInTheGivenText) {
  struct Case {
    const char* formula;  // UTF-8
    const char* before;   // what stands before the stop
  } cases[] = {
      {"1=1=1", "1=1"},
      {"   1=1=1", "   1=1"},
      {"IF \r\n1 THEN 2", "IF \r\n1 "},  // at THEN, where a condition should have ended
      {"1+ // the rest", "1+"},
      {"x + [ a ] + (((((((1)))))))", "x + [ a ] + (((((("},
      {"(1", "(1"},
      {"\"表\"+1 ", "\"表\"+1"},
      {"\"表格\"+ +", "\"表格\"+ "},  // in bytes of the code page
  };
  TSyntaxParser parser;
  for (const auto& c : cases) {
    TCommonData r;
    const std::string formula = Ansi(c.formula);
    EXPECT_NE(parser.Calculate(formula, r), 0) << c.formula;
    EXPECT_EQ(parser.ErrorOffsetIn(formula), Ansi(c.before).size()) << c.formula;
  }
}

TEST(SyntaxParserTest, CalculateAlsoGivesAnIntAsDouble) {
  TSyntaxParser parser;
  TCommonData r;
  ASSERT_EQ(parser.Calculate("6/3", r), 0);
  EXPECT_EQ(r.DataType, kDataInt);
  EXPECT_EQ(r.FloatValue, 2.0L);
}

TEST(SyntaxParserTest, DeepNestingIsRefusedNotCrashing) {
  std::string nots;
  for (int i = 0; i < 500; ++i) nots += "NOT ";
  std::string brackets(500, '[');
  TSyntaxParser parser;
  TCommonData r;
  EXPECT_EQ(parser.CheckCondition(nots + "1=1", r), 51);
  EXPECT_EQ(parser.Calculate(brackets, r), 51);
  EXPECT_EQ(parser.CheckCondition("NOT NOT NOT NOT NOT NOT NOT NOT 1=1", r), 0);
}

TEST(SyntaxParserTest, FinishNotifiersHearOfSuccessOnly) {
  TSyntaxParser parser;
  int told = 0;
  parser.AddFinishNotifier([&] { ++told; });
  TCommonData r;
  parser.Calculate("1", r);
  parser.Calculate("", r);
  parser.Calculate("1+", r);
  EXPECT_EQ(told, 2);
}

}  // namespace
}  // namespace ryn
