// What a formula may ask of the process: texts are bounded, and a function or cell
// provider that throws, or memory that runs out, comes back as a code from the parser and
// as ENiporlanError from the evaluator, never as any other exception.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "expr/common_functions.h"
#include "expr/niporlan_parser.h"
#include "expr/str_functions.h"
#include "expr/syntax_errors.h"
#include "expr/syntax_parser.h"
#include "expr/text_limits.h"
#include "platform/codepage.h"
#include "transport/errors.h"

namespace ryn {
namespace {

// THROW(kind) throws: 1 std::bad_alloc, 2 std::runtime_error, 3 a named error, 4 an int.
class ThrowingListener : public TCustomSyntaxFunctionListener {
 public:
  ThrowingListener() {
    functions_.Add("THROW", "").AddParam("Kind", "", false, false, kDataInt).ResultType = kDataInt;
  }
  int32_t Execute(std::string_view, FunctionArgs args, bool check, TCommonData& result) override {
    if (check) {
      result.SetInt(0);
      return 0;
    }
    switch (IntArg(*args[0])) {
      case 1: throw std::bad_alloc();
      case 2: throw std::runtime_error("boom");
      case 3: throw EConvertError("'x' is not a valid GUID value");
      default: throw 7;
    }
  }
};

class ThrowingCells : public TInterfacedObject, public virtual ISyntaxCellProvider {
 public:
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<ISyntaxCellProvider>(this, iid, obj);
  }
  bool GetCellValue(TSyntaxCell& cell) override {
    if (throwing) throw std::bad_alloc();
    cell.Value.SetInt(1);
    return true;
  }
  bool SetCellValue(const TSyntaxCell&) override { return true; }
  std::string DescribeCell(const TSyntaxCell&) override { return {}; }
  std::string GetErrorText(int32_t) override { return {}; }
  bool throwing = false;
};

class LimitsTest : public ::testing::Test {
 protected:
  LimitsTest() {
    parser.AddFunctionListener(MakeIntf<TStrFunc>());
    parser.AddFunctionListener(MakeIntf<ThrowingListener>());
    parser.AddCellProvider(cells);
  }

  int32_t Direct(const std::string& formula) {
    TCommonData v;
    return parser.Calculate(formula, v);
  }

  // Compiles as a script host does and runs the formula: the message it raises, or "".
  std::string Compiled(const std::string& formula) {
    parser.SetCompile(true);
    parser.SetCheckOnly(true);
    TCommonData ignored;
    int32_t code = parser.Calculate(formula, ignored);
    parser.SetCompile(false);
    parser.SetCheckOnly(false);
    if (code != 0) return "check failed " + std::to_string(code);
    std::unique_ptr<TNiporlan> f = parser.TakeCompiled();
    try {
      parser.EvaluateValue(*f, ignored);
    } catch (const ENiporlanError& e) {
      return e.Message();
    }
    return {};
  }

  TCommonFunctionsRegistration common;
  IntfPtr<ThrowingCells> cells = MakeIntf<ThrowingCells>();
  TSyntaxParser parser;
};

TEST_F(LimitsTest, ResultLengthsAreBounded) {
  const std::string max = std::to_string(kMaxFormulaText);
  const std::string over = std::to_string(kMaxFormulaText + 1);
  const std::string half = std::to_string(kMaxFormulaText / 2 + 1);
  const std::string badArgs = Ansi("函数的参数不正确");
  const std::string tooLong = Ansi("文本长度超出上限（64MB）");
  struct Case {
    std::string formula;
    int32_t code;         // of the direct evaluation
    std::string raised;   // by the compiled formula ("" nothing)
  } cases[] = {
      {"FillLeft(2147483647,\"a\")", kErrBadArguments, Ansi("函数“FILLLEFT”出错：") + badArgs},
      {"FillRight(2147483647,\"a\",\"b\")", kErrBadArguments, Ansi("函数“FILLRIGHT”出错：") + badArgs},
      {"FillLeft(" + over + ",\"a\")", kErrBadArguments, Ansi("函数“FILLLEFT”出错：") + badArgs},
      {"FillLeft(" + max + ",\"a\")", 0, ""},
      {"FillLeft(" + half + ",\"a\")+FillRight(" + half + ",\"b\")", kErrTextTooLong, tooLong},
      {"FillLeft(" + max + ",\"a\")+\"\"", 0, ""},
      {"FillLeft(" + max + ",\"a\")+\"b\"", kErrTextTooLong, tooLong},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Direct(c.formula), c.code) << c.formula;
    EXPECT_EQ(Compiled(c.formula), c.raised) << c.formula;
  }
  EXPECT_EQ(parser.ErrorText(kErrTextTooLong), tooLong);
  EXPECT_EQ(parser.ErrorText(kErrOutOfMemory), Ansi("内存不足"));
}

TEST_F(LimitsTest, EscapingExceptionsBecomeCodesAndEvaluatorErrors) {
  const std::string prefix = Ansi("函数“THROW”出错：");
  struct Case {
    const char* formula;
    int32_t code;
    std::string raised;
  } cases[] = {
      {"THROW(1)", kErrOutOfMemory, prefix + Ansi("内存不足")},
      {"THROW(2)", kErrBadArguments, prefix + Ansi("函数的参数不正确")},
      {"THROW(3)", kErrBadArguments, prefix + "'x' is not a valid GUID value"},
      {"1+THROW(4)", kErrBadArguments, prefix + Ansi("函数的参数不正确")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Direct(c.formula), c.code) << c.formula;
    EXPECT_EQ(Compiled(c.formula), c.raised) << c.formula;
  }
  // The parser is usable again afterwards and its position points into the formula.
  EXPECT_EQ(Direct("1+THROW(2)"), kErrBadArguments);
  EXPECT_GT(parser.ErrorPosition(), 2);
  EXPECT_EQ(Direct("1+2"), 0);

  // A cell provider that runs out of memory while the formula is read or run.
  cells->throwing = true;
  EXPECT_EQ(Direct("[A]+1"), kErrOutOfMemory);
  cells->throwing = false;
  parser.SetCompile(true);
  TCommonData v;
  ASSERT_EQ(parser.Calculate("[A]+1", v), 0);
  parser.SetCompile(false);
  std::unique_ptr<TNiporlan> f = parser.TakeCompiled();
  cells->throwing = true;
  try {
    parser.EvaluateValue(*f, v);
    ADD_FAILURE() << "nothing raised";
  } catch (const ENiporlanError& e) {
    EXPECT_EQ(e.Message(), Ansi("内存不足"));
  }
}

}  // namespace
}  // namespace ryn
