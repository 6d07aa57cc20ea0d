// A compiled formula: up to three lists of items in reverse-Polish order (the condition of
// an IF statement, its THEN part or the whole formula, its ELSE part), produced once by
// the parser and evaluated per record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "expr/common_data.h"

namespace ryn {

struct ISyntaxFunctionListener;
class TSyntaxFunction;
class TSyntaxParser;

// Item kinds.
constexpr int32_t kItemOperator = 0;
constexpr int32_t kItemFunction = 1;
constexpr int32_t kItemConstant = 2;
constexpr int32_t kItemCell = 3;

// Operator codes, shared by the parser's direct evaluation and the compiled items.
constexpr int32_t kOpAdd = 1;
constexpr int32_t kOpSubtract = 2;
constexpr int32_t kOpNegate = 3;
constexpr int32_t kOpMultiply = 4;
constexpr int32_t kOpDivide = 5;
constexpr int32_t kOpRange = 6;  // never emitted: a range becomes its cells joined by kOpAdd
constexpr int32_t kOpEqual = 7;
constexpr int32_t kOpReserved = 8;
constexpr int32_t kOpNotEqual = 9;
constexpr int32_t kOpGreater = 10;
constexpr int32_t kOpLess = 11;
constexpr int32_t kOpGreaterEqual = 12;
constexpr int32_t kOpLessEqual = 13;
constexpr int32_t kOpAnd = 14;
constexpr int32_t kOpOr = 15;
constexpr int32_t kOpNot = 16;
constexpr int32_t kOpAssign = 17;

// A short name of the operator for listings: as written in formulas ("+", "<>", "AND"),
// "NEG" for the unary minus and ":=" for the assignment; empty for unknown codes.
std::string_view OperatorText(int32_t opCode);

class TNiporlanItem : public TObject {
 public:
  explicit TNiporlanItem(int32_t opCode);
  explicit TNiporlanItem(std::string funcName);
  explicit TNiporlanItem(const TCommonData& value);
  explicit TNiporlanItem(const TSyntaxCell& cell);

  int32_t ItemType;
  int32_t OpCode = 0;
  std::string FuncName;  // upper-cased as in the normalized formula
  // The constant; while evaluating, the value the item carries on the stack.
  TCommonData Data;
  std::unique_ptr<TSyntaxCell> CellRef;  // kind kItemCell only

  // A function item remembers the listener and declaration that the evaluator found for
  // it, for the parser that found them, while no listener list or declaration list has
  // changed since (ResolvedGeneration; 0 before the first evaluation). Finding them costs
  // more than most functions do.
  struct Resolution {
    const TSyntaxParser* parser = nullptr;
    uint64_t generation = 0;
    ISyntaxFunctionListener* listener = nullptr;
    TSyntaxFunction* function = nullptr;
    bool global = false;  // a global listener: it may unregister itself while it computes
  };
  mutable Resolution Resolved;
};

using TNiporlanItems = std::vector<std::unique_ptr<TNiporlanItem>>;

class TNiporlan : public TObject {
 public:
  TNiporlanItems CondItems;
  TNiporlanItems ThenItems;
  TNiporlanItems ElseItems;

  bool IsEmpty() const { return CondItems.empty() && ThenItems.empty() && ElseItems.empty(); }
  bool HasCondition() const { return !CondItems.empty(); }
  void Clear();
  // 0 CondItems, 1 ThenItems, 2 ElseItems.
  TNiporlanItems& List(int target);
};

}  // namespace ryn
