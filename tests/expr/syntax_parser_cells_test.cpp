// Cell references, ranges, assignments and the brace section, with a test cell provider.
#include <gtest/gtest.h>

#include "expr/syntax_parser.h"
#include "parser_fixtures.h"
#include "platform/codepage.h"

namespace ryn {
namespace {

using testing::TestCells;
using testing::TestListener;

class CellParserTest : public ::testing::Test {
 protected:
  CellParserTest() {
    parser.AddCellProvider(cells);
    parser.AddFunctionListener(MakeIntf<TestListener>());
  }
  int32_t Calc(std::string_view formula) {
    result = TCommonData();
    return parser.Calculate(Ansi(formula), result);
  }

  IntfPtr<TestCells> cells = MakeIntf<TestCells>();
  TSyntaxParser parser;
  TCommonData result;
};

TEST_F(CellParserTest, ItemGrammar) {
  cells->knowsEveryCell = true;
  struct Case {
    const char* formula;
    const char* cell;  // the text form the provider was asked for
  } cases[] = {
      {"[A]", "[A]"},
      {"[a$]", "[A$]"},
      {"a$", "[A$]"},
      {"T[1,2]", "T[1,2]"},
      {"t [ 1 , 2 ]", "T[1,2]"},
      {"[1+1,2*3]", "[2,6]"},
      {"[ECHO(2),-1]", "[2,-1]"},
      {"[A,-1N]", "[A,-1N]"},
      {"[A,N]", "[A,N]"},
      {"[A,3Y]", "[A,3Y]"},
      {"[A,y3]", "[A,3Y]"},
      {"[A,Y-1]", "[A,-1Y]"},
      {"[A,月2]", "[A,2Y]"},
      {"[A,+2年]", "[A,2N]"},
      {"[A,2]", "[A,2]"},
      {"[A,-1N,2J]", "[A,-1N,2J]"},
      {"[A,'x > 1']", "[A,'X > 1']"},
      {"[A,D=\"a b\",E=x]", "[A,D=a b,E=X]"},
      {"[A,B1=2]", "[A,B1=2]"},  // "=" makes a dimension even of a period-like word
      {"[A, autosum ]", "[A,AUTOSUM]"},
      {"[A,SUM,-1N,'C',D=1,2Y]", "[A,-1N,2Y,'C',D=1,SUM]"},
      {"[A]@U1", "[A]@U1"},
      {"A @U1", "[A]@U1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Calc(c.formula), 0) << c.formula;
    ASSERT_FALSE(cells->asked.empty());
    EXPECT_EQ(cells->asked.back(), Ansi(c.cell)) << c.formula;
  }
}

TEST_F(CellParserTest, ItemErrors) {
  cells->knowsEveryCell = true;
  struct Case {
    const char* formula;
    int32_t code;
    int32_t pos;
  } cases[] = {
      {"[A,'x','y']", 158, 8},
      {"[A,'x", 159, 6},
      {"[A,N,3Y]", 160, 8},
      {"[A,-1N,-2N]", 160, 11},
      {"[A,3,Y]", 160, 7},
      {"[A,SUM,MAX]", 162, 11},
      {"[A,D=1,D=2]", 163, 9},
      {"[A,FOO]", 156, 7},
      {"[A,2SUM]", 156, 8},
      {"[A,,SUM]", 156, 4},
      {"[A,+X]", 156, 5},
      {"[A,99999999999N]", 155, 4},
      {"[A]@", 156, 5},
      {"[A", 5, 3},
      {"[A;1]", 5, 3},
      {"[1;2]", 14, 3},
      {"[\"a\",1]", 15, 2},
      {"[1,2.5]", 15, 4},
      {"[A]&[1,1]", 153, 10},
      {"[1,1]&A", 153, 8},
      {"[1,2]&[2,1]", 154, 12},
      {"T[1,1]&[1,2]", 152, 13},
      {"[1,1,2Y]&[1,2]", 152, 15},
      {"[1,1]&[200,200]", 155, 16},
      {"[1,1]&+", 156, 7},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Calc(c.formula), c.code) << c.formula;
    EXPECT_EQ(parser.ErrorPosition(), c.pos) << c.formula;
  }
}

TEST_F(CellParserTest, WildcardWithoutRangesIsRefused) {
  parser.SetRangesEnabled(false);
  EXPECT_EQ(Calc("[*,1]"), 161);
  EXPECT_EQ(Calc("[1,*]"), 161);
  EXPECT_EQ(Calc("1+1{1}"), 54);
  EXPECT_EQ(parser.ErrorPosition(), 4);
  EXPECT_EQ(Calc("\"{\"+\"a\""), 0);  // a brace in a literal is text
  EXPECT_EQ(result.StrValue, "{a");
}

TEST_F(CellParserTest, RangesSumTheRectangle) {
  cells->SetInt("[1,1]", 1);
  cells->SetInt("[1,2]", 2);
  cells->SetInt("[2,1]", 3);
  cells->SetDouble("[2,2]", 4.5L);
  cells->SetString("[3,1]", "x");
  cells->SetInt("[3,2]", 1);
  EXPECT_EQ(Calc("[1,1]&[1,2]"), 0);
  EXPECT_EQ(result.DataType, kDataInt);
  EXPECT_EQ(result.IntValue, 3);
  EXPECT_EQ(Calc("[1,1] & [2,2] * 2"), 0);
  EXPECT_EQ(result.AsText(), "21");
  EXPECT_EQ(Calc("[2,1]&[3,2]"), 152);
  EXPECT_EQ(Calc("[1,2]&[4,2]"), 1);
}

TEST_F(CellParserTest, CellsNeedAProviderAndTheOption) {
  EXPECT_EQ(Calc("[A]"), 1);
  cells->SetInt("[A]", 4);
  EXPECT_EQ(Calc("[A]+1"), 0);
  EXPECT_EQ(result.IntValue, 5);
  parser.SetCellsEnabled(false);
  EXPECT_EQ(Calc("[A]+1"), 1);
  EXPECT_EQ(parser.ErrorPosition(), 4);
}

TEST_F(CellParserTest, AssignmentStoresThroughTheProvider) {
  cells->SetInt("[A]", 0);
  EXPECT_EQ(parser.CheckAssignment("[A] = 1+2", result), 0);
  EXPECT_EQ(result.IntValue, 3);
  EXPECT_EQ(cells->stored, std::vector<std::string>{"[A]=3"});

  parser.SetCheckOnly(true);
  EXPECT_EQ(parser.CheckAssignment("[A]=7", result), 0);
  EXPECT_EQ(cells->stored.size(), 1u);
  parser.SetCheckOnly(false);

  struct Case {
    const char* formula;
    int32_t code;
  } cases[] = {{"[A]", 13}, {"[A] 1", 13}, {"[B]=1", 1}, {"1=1", 156}, {"[A]=1 2", 101}, {"[A]&[A]=1", 13}};
  for (const auto& c : cases) EXPECT_EQ(parser.CheckAssignment(c.formula, result), c.code) << c.formula;
  EXPECT_EQ(cells->stored.size(), 1u);
}

TEST_F(CellParserTest, BraceSectionRepeatsTheFormula) {
  cells->knowsEveryCell = true;
  struct Case {
    const char* formula;
    std::vector<std::string> asked;
  } cases[] = {
      {"[*,*]{1~2}{3,5}", {"[1,3]", "[1,5]", "[2,3]", "[2,5]"}},
      {"[*,1]+[*,2] {2*2}", {"[4,1]", "[4,2]"}},
      {"[1,*]{1}{8~7+1}", {"[1,8]"}},
      {"[1,1]{5,6}", {"[1,1]"}},  // no wildcard: once
  };
  for (const auto& c : cases) {
    cells->asked.clear();
    EXPECT_EQ(Calc(c.formula), 0) << c.formula;
    EXPECT_EQ(cells->asked, c.asked) << c.formula;
  }
}

TEST_F(CellParserTest, BraceSectionErrors) {
  cells->knowsEveryCell = true;
  struct Case {
    const char* formula;
    int32_t code;
    int32_t pos;
  } cases[] = {
      {"[*,1]{3~1}", 55, 9},     {"[*,1]{1}x", 56, 9},      {"[*,1]{1}{2}{3}", 56, 12},
      {"[1,*]{1}", 57, 4},       {"[*,1]", 57, 2},          {"[*,1]{1", 7, 8},
      {"[*,1]{1;2}", 102, 8},    {"[*,1]{\"a\"}", 15, 7},   {"[*,1]{1~10001}", 155, 7},
      {"[*,1]{1~5000,1~5001}", 155, 14}, {"{1}", 9, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Calc(c.formula), c.code) << c.formula;
    EXPECT_EQ(parser.ErrorPosition(), c.pos) << c.formula;
  }
  EXPECT_EQ(Calc("[*,1]{1~10000}"), 0);
}

// Spaces inside square brackets are gone from the text the parser reads; the stop is
// found again in the formula as written.
TEST_F(CellParserTest, ErrorOffsetCountsTheDroppedSpaces) {
  cells->knowsEveryCell = true;
  struct Case {
    const char* formula;
    size_t offset;
  } cases[] = {
      {"[A,FOO]", 6},
      {"[ A , FOO ]", 10},
      {"[A,D=1,D=2]", 8},
      {"[ A ,D=1,  D=2]", 12},
      {"  [ A ] + [ 1 , 1 ]@", 20},
  };
  for (const auto& c : cases) {
    EXPECT_NE(Calc(c.formula), 0) << c.formula;
    EXPECT_EQ(parser.ErrorOffsetIn(c.formula), c.offset) << c.formula;
  }
}

TEST_F(CellParserTest, FirstFailingRepetitionStops) {
  cells->SetInt("[1,1]", 1);
  EXPECT_EQ(Calc("[*,1]{1,2,3}"), 1);
  EXPECT_EQ(cells->asked, (std::vector<std::string>{"[1,1]", "[2,1]"}));
  EXPECT_EQ(parser.LastErrorText(), Ansi("未知语法或语法不支持") + "\r\n[2,1]\r\n     !");
}

// GBK trail bytes can look like "a", "{", "[", "]": such characters stay whole in names,
// literals, items and suffixes (and are plain characters under UTF-8).
TEST_F(CellParserTest, DoubleByteCharactersStayWhole) {
  cells->SetInt(Ansi("[乤]"), 5);  // trail byte "a": must not be upper-cased into 丄
  cells->SetInt(Ansi("[亄]"), 1);  // trail byte "{": no brace section
  cells->SetInt(Ansi("[乕]"), 3);  // trail byte "[": no wildcard before "*"
  cells->SetInt(Ansi("[乚,SUM]"), 4);
  cells->SetInt(Ansi("[A,D=乚]"), 7);
  cells->SetInt(Ansi("[A]@乚"), 8);
  struct Case {
    const char* formula;
    const char* text;
  } cases[] = {
      {"乤+1", "6"},
      {"亄+1", "2"},
      {"乕*2", "6"},
      {"[乚 , sum]", "4"},
      {"[ A , D=乚]", "7"},
      {"[A]@乚", "8"},
      {"IF 乤=5 THEN 亄 ELSE 0", "1"},
      {"ECHO(\"乕亄乚乤\")", "乕亄乚乤"},
      {"乕亄乚乤", ""},
  };
  for (const auto& c : cases) {
    int32_t code = Calc(c.formula);
    if (*c.text == 0) {
      EXPECT_EQ(code, 1) << c.formula;
      EXPECT_EQ(cells->asked.back(), Ansi("[乕亄乚乤]"));
    } else {
      EXPECT_EQ(code, 0) << c.formula;
      EXPECT_EQ(result.AsText(), Ansi(c.text)) << c.formula;
    }
  }
}

}  // namespace
}  // namespace ryn
