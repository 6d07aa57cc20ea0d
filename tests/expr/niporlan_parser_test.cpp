// Compiled evaluation: type rules on the stack, IF lists, functions and cells at run time,
// the bounded stack and the failures it raises.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <variant>

#include "expr/niporlan_parser.h"
#include "expr/syntax_parser.h"
#include "parser_fixtures.h"
#include "platform/codepage.h"

namespace ryn {
namespace {

using testing::TestCells;
using testing::TestListener;

class NiporlanTest : public ::testing::Test {
 protected:
  NiporlanTest() {
    parser.AddFunctionListener(listener);
    parser.AddCellProvider(cells);
  }

  // Checks and compiles as a script host does.
  std::unique_ptr<TNiporlan> Compile(std::string_view formula, bool condition = false) {
    parser.SetCompile(true);
    parser.SetCheckOnly(true);
    TCommonData ignored;
    std::string text = Ansi(formula);
    int32_t code = condition ? parser.CheckCondition(text, ignored) : parser.Calculate(text, ignored);
    EXPECT_EQ(code, 0) << formula;
    parser.SetCompile(false);
    parser.SetCheckOnly(false);
    return parser.TakeCompiled();
  }

  TCommonData Evaluate(const TNiporlan& formula) {
    TCommonData v;
    parser.EvaluateValue(formula, v);
    return v;
  }

  // The message a run of formula raises; empty when it raises nothing.
  std::string RaisedBy(const TNiporlan& formula) {
    try {
      Evaluate(formula);
    } catch (const ENiporlanError& e) {
      return e.Message();
    }
    return "(nothing raised)";
  }

  IntfPtr<TestListener> listener = MakeIntf<TestListener>();
  IntfPtr<TestCells> cells = MakeIntf<TestCells>();
  TSyntaxParser parser;
};

TNiporlanItems Items(std::initializer_list<std::variant<double, int32_t>> list) {
  TNiporlanItems items;
  for (const auto& x : list) {
    if (std::holds_alternative<double>(x)) {
      TCommonData v;
      v.SetDouble(std::get<double>(x));
      items.push_back(std::make_unique<TNiporlanItem>(v));
    } else {
      items.push_back(std::make_unique<TNiporlanItem>(std::get<int32_t>(x)));
    }
  }
  return items;
}

TEST_F(NiporlanTest, ValuesOnTheStack) {
  cells->SetInt("[A]", 4);
  cells->cells["[N]"].DataType = kDataDouble;
  cells->cells["[N]"].IsNull = true;
  struct Case {
    const char* formula;
    const char* type;
    const char* text;
  } cases[] = {
      {"", "double", "0"},
      {"7/2", "double", "3.5"},
      {"6/3", "double", "2"},  // every number is a double, even an exact quotient
      {"5/0", "double", "0"},
      {"1+2*3-[A]", "double", "3"},
      {"-(2+3)", "double", "-5"},
      {"1.000001-1", "double", "0"},  // differences within 0.00001 are exactly 0
      {"1.000001-1+5", "double", "5"},
      {"10/0+1", "double", "1"},
      {"[A]*2>7", "bool", "1"},
      {"[A]=4.000001", "bool", "1"},
      {"[A]*[A]-[A]", "double", "12"},
      {"[A]>[A]", "bool", "0"},
      {"[N]*2", "double", "0"},
      {"\"ab\"+\"cd\"", "string", "abcd"},
      {"\"A\"=\"a\"", "bool", "1"},  // strings compare ignoring case
      {"\"a\"<\"B\"", "bool", "1"},
      {"1=1 AND 2>3", "bool", "0"},
      {"NOT 1=2 OR 1=2", "bool", "1"},
      {"(1=1)+1", "double", "0"},  // true counts -1, as when checking
      {"-(1=1)", "double", "1"},
      {"DAYS(10)-DAYS(3)", "double", "7"},
      {"[N]+[N]", "double", "null"},  // null only when both sides are
      {"[N]+2", "double", "2"},
      {"[N]=0", "bool", "1"},
      {"IF 1<2 THEN 3 ELSE 4", "double", "3"},
      {"IF 1>2 THEN 3 ELSE \"x\"", "string", "x"},
      {"IF 1>2 THEN 3", "bool", "0"},  // no ELSE: the condition's own value
      {"SUMOF(1,2,3.5)", "double", "6.5"},
      {"OPT(1,,\"x\")", "string", "1|null|x"},
  };
  for (const auto& c : cases) {
    std::unique_ptr<TNiporlan> f = Compile(c.formula);
    ASSERT_NE(f, nullptr) << c.formula;
    TCommonData v = Evaluate(*f);
    EXPECT_EQ(DataTypeName(v.DataType), c.type) << c.formula;
    EXPECT_EQ(v.AsText(), c.text) << c.formula;
  }
}

// Numbers give the same value checked and compiled, whatever path the evaluator takes
// through a formula.
TEST_F(NiporlanTest, ArithmeticAgreesWithChecking) {
  std::mt19937 rng(7);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const char* const numbers[] = {"0", "1", "2", "7", "10", "0.5", "2.25", "1000000", "0.000001"};
  const char* const ops[] = {"+", "-", "*", "/"};
  std::function<std::string(int)> expr = [&](int depth) {
    std::string s;
    int terms = 1 + pick(4);
    for (int t = 0; t < terms; ++t) {
      if (t > 0) s += ops[pick(4)];
      if (depth > 0 && pick(3) == 0) s += "(" + expr(depth - 1) + ")";
      else s += numbers[pick(9)];
    }
    return s;
  };
  for (int n = 0; n < 500; ++n) {
    std::string formula = expr(4);
    TCommonData direct;
    ASSERT_EQ(parser.Calculate(formula, direct), 0) << formula;
    long double expected = direct.DataType == kDataInt ? direct.IntValue : direct.FloatValue;
    TCommonData compiled = Evaluate(*Compile(formula));
    ASSERT_EQ(compiled.DataType, kDataDouble) << formula;
    EXPECT_NEAR(static_cast<double>(compiled.FloatValue), static_cast<double>(expected),
                1e-9 * std::max(1.0, std::fabs(static_cast<double>(expected))))
        << formula;
  }
}

TEST_F(NiporlanTest, ConditionsAndCaseOfStrings) {
  struct Case {
    const char* formula;
    bool compiled;
    bool direct;
  } cases[] = {
      {"", true, true},
      {"1<2", true, true},
      {"\"A\"=\"a\"", true, false},  // compiled comparison ignores case, checking does not
      {"\"A\"<>\"a\"", false, true},
      {"IF 1>2 THEN 1=1", false, true},  // a false condition without ELSE
      {"IF 1<2 THEN 1=2 ELSE 1=1", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parser.EvaluateCondition(*Compile(c.formula, true)), c.compiled) << c.formula;
    TCommonData v;
    ASSERT_EQ(parser.CheckCondition(Ansi(c.formula), v), 0) << c.formula;
    EXPECT_EQ(v.BoolValue, c.direct) << c.formula;
  }
}

// Record values may change type between checking and running.
TEST_F(NiporlanTest, StringAgainstNumber) {
  cells->SetInt("[A]", 1);
  struct Case {
    const char* formula;
    bool value;
  } cases[] = {{"[A]=1", false}, {"[A]<>1", true}, {"[A]>1", true}, {"[A]<1", false}};
  for (const auto& c : cases) {
    cells->SetInt("[A]", 1);
    std::unique_ptr<TNiporlan> f = Compile(c.formula, true);
    cells->SetString("[A]", "1");
    EXPECT_EQ(parser.EvaluateCondition(*f), c.value) << c.formula;
  }
}

TEST_F(NiporlanTest, CellsAreReadAndStoredAtRunTime) {
  cells->SetInt("[A]", 1);
  cells->SetInt("[B]", 0);
  std::unique_ptr<TNiporlan> sum = Compile("[A]*10");
  cells->SetDouble("[A]", 2.5);
  EXPECT_EQ(Evaluate(*sum).AsText(), "25");

  TCommonData ignored;
  parser.SetCompile(true);
  ASSERT_EQ(parser.CheckAssignment("[B]=[A]+1", ignored), 0);
  parser.SetCompile(false);
  std::unique_ptr<TNiporlan> assign = parser.TakeCompiled();
  cells->stored.clear();
  Evaluate(*assign);
  EXPECT_EQ(cells->stored, std::vector<std::string>{"[B]=3.5"});

  cells->cells.erase("[A]");
  EXPECT_EQ(RaisedBy(*sum), Ansi("Niporlan公式有错误(空数据类型)！"));

  // A provider that answers every cell but knows none to store into.
  cells->knowsEveryCell = true;
  cells->cells.clear();
  EXPECT_EQ(RaisedBy(*assign), "[B]" + Ansi("：未知语法或语法不支持"));
}

TEST_F(NiporlanTest, StackHoldsOneHundredValues) {
  // values constants, then the additions that fold them: all values are on the stack at once.
  auto sum = [](int values) {
    TNiporlan f;
    for (int i = 0; i < values; ++i) f.ThenItems.push_back(std::move(Items({1.0}).front()));
    for (int i = 1; i < values; ++i) f.ThenItems.push_back(std::make_unique<TNiporlanItem>(kOpAdd));
    return f;
  };
  EXPECT_EQ(Evaluate(sum(100)).AsText(), "100");
  EXPECT_EQ(RaisedBy(sum(101)), Ansi("公式过于复杂，请简化公式（Stack已满）！"));
}

TEST_F(NiporlanTest, MalformedListsRaise) {
  const std::string empty = Ansi("Niporlan Stack 已经为空！");
  struct Case {
    TNiporlanItems items;
    std::string message;
  } cases[] = {
      {Items({1.0, kOpAdd}), empty},
      {Items({kOpNegate}), empty},
      {Items({kOpReserved}), empty},  // nothing ever reached slot 1
      {Items({1.0, 99}), ""},         // an unknown operator
      {Items({1.0, 2.0, kOpAssign}), Ansi("不正确的NiporlanItem.Type！")},
  };
  for (auto& c : cases) {
    TNiporlan f;
    f.ThenItems = std::move(c.items);
    EXPECT_EQ(RaisedBy(f), c.message);
  }
  TNiporlan f;
  f.ThenItems = Items({2.0, kOpReserved});
  EXPECT_EQ(Evaluate(f).AsText(), "2");
  f.ThenItems.front()->ItemType = 7;
  EXPECT_EQ(RaisedBy(f), Ansi("不正确的NiporlanItem.Type！"));
}

class GoneListener : public TCustomSyntaxFunctionListener {
 public:
  GoneListener() { functions_.Add("GONE", "").ResultType = kDataInt; }
  int32_t Execute(std::string_view, std::span<const TCommonData* const>, bool, TCommonData& r) override {
    r.SetInt(1);
    return 0;
  }
};

TEST_F(NiporlanTest, FunctionFailuresRaise) {
  IntfPtr<ISyntaxFunctionListener> gone = MakeIntf<GoneListener>();
  RegisterSyntaxListener(gone);
  std::unique_ptr<TNiporlan> f = Compile("GONE()+1");
  EXPECT_EQ(Evaluate(*f).AsText(), "2");
  UnregisterSyntaxListener(gone);
  EXPECT_EQ(RaisedBy(*f), Ansi("没有找到函数“GONE”的侦听器！"));

  // A listener's failure code is not turned into a value.
  TNiporlan failing;
  failing.ThenItems.push_back(std::make_unique<TNiporlanItem>(std::string("FAIL")));
  EXPECT_EQ(RaisedBy(failing), Ansi("函数“FAIL”出错：测试失败"));
}

// GONE() answering a value of its own.
class ValueListener : public TCustomSyntaxFunctionListener {
 public:
  explicit ValueListener(int32_t v) : v_(v) { functions_.Add("GONE", "").ResultType = kDataInt; }
  int32_t Execute(std::string_view, std::span<const TCommonData* const>, bool, TCommonData& r) override {
    r.SetInt(v_);
    return 0;
  }

 private:
  int32_t v_;
};

// A compiled call remembers its listener, but never past a change of the listeners.
TEST_F(NiporlanTest, CallsFollowChangesOfTheListeners) {
  auto own = MakeIntf<ValueListener>(1);
  parser.AddFunctionListener(own);
  std::unique_ptr<TNiporlan> f = Compile("GONE()+0");
  EXPECT_EQ(Evaluate(*f).AsText(), "1");
  IntfPtr<ISyntaxFunctionListener> global = MakeIntf<ValueListener>(2);
  RegisterSyntaxListener(global);  // global listeners come first
  EXPECT_EQ(Evaluate(*f).AsText(), "2");
  UnregisterSyntaxListener(global);
  EXPECT_EQ(Evaluate(*f).AsText(), "1");

  // Another parser has listeners of its own.
  TSyntaxParser other;
  TCommonData v;
  EXPECT_THROW(other.EvaluateValue(*f, v), ENiporlanError);
  other.AddFunctionListener(MakeIntf<ValueListener>(3));
  other.EvaluateValue(*f, v);
  EXPECT_EQ(v.AsText(), "3");
  EXPECT_EQ(Evaluate(*f).AsText(), "1");

  // A declaration taken out of its listener is gone.
  ASSERT_TRUE(own->GetFunctions().Delete(0));
  EXPECT_EQ(RaisedBy(*f), Ansi("没有找到函数“GONE”的侦听器！"));
}

TEST_F(NiporlanTest, RepeatedRunsReuseTheirWorkItems) {
  std::unique_ptr<TNiporlan> f = Compile("IF 1<2 THEN SUMOF(1,2)*3 ELSE 0");
  EXPECT_EQ(Evaluate(*f).AsText(), "9");
  size_t pool = parser.Niporlan().PoolSize();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Evaluate(*f).AsText(), "9");
  EXPECT_EQ(parser.Niporlan().PoolSize(), pool);
}

}  // namespace
}  // namespace ryn
