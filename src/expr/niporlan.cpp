#include "expr/niporlan.h"

namespace ryn {

std::string_view OperatorText(int32_t opCode) {
  switch (opCode) {
    case kOpAdd: return "+";
    case kOpSubtract: return "-";
    case kOpNegate: return "NEG";
    case kOpMultiply: return "*";
    case kOpDivide: return "/";
    case kOpRange: return "&";
    case kOpEqual: return "=";
    case kOpNotEqual: return "<>";
    case kOpGreater: return ">";
    case kOpLess: return "<";
    case kOpGreaterEqual: return ">=";
    case kOpLessEqual: return "<=";
    case kOpAnd: return "AND";
    case kOpOr: return "OR";
    case kOpNot: return "NOT";
    case kOpAssign: return ":=";
    default: return "";
  }
}

TNiporlanItem::TNiporlanItem(int32_t opCode) : ItemType(kItemOperator), OpCode(opCode) {}

TNiporlanItem::TNiporlanItem(std::string funcName) : ItemType(kItemFunction), FuncName(std::move(funcName)) {}

TNiporlanItem::TNiporlanItem(const TCommonData& value) : ItemType(kItemConstant) { Data.Assign(value); }

TNiporlanItem::TNiporlanItem(const TSyntaxCell& cell)
    : ItemType(kItemCell), CellRef(std::make_unique<TSyntaxCell>(cell)) {}

void TNiporlan::Clear() {
  CondItems.clear();
  ThenItems.clear();
  ElseItems.clear();
}

TNiporlanItems& TNiporlan::List(int target) {
  switch (target) {
    case 0: return CondItems;
    case 2: return ElseItems;
    default: return ThenItems;
  }
}

}  // namespace ryn
