#include "expr/niporlan_parser.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "expr/syntax_errors.h"
#include "expr/syntax_parser.h"
#include "platform/codepage.h"

namespace ryn {
namespace {

constexpr long double kTolerance = 0.00001L;

[[noreturn, gnu::cold, gnu::noinline]] void Raise(std::string message) { throw ENiporlanError(std::move(message)); }

[[noreturn, gnu::cold, gnu::noinline]] void RaiseStackFull() {
  Raise(Ansi("公式过于复杂，请简化公式（Stack已满）！"));
}

[[noreturn, gnu::cold, gnu::noinline]] void RaiseStackEmpty() { Raise(Ansi("Niporlan Stack 已经为空！")); }

[[noreturn, gnu::cold, gnu::noinline]] void RaiseBadItem() { Raise(Ansi("不正确的NiporlanItem.Type！")); }

// Every number on the stack is a double; IntValue is kept for listeners that look at it.
inline void IntToDouble(TCommonData& v) {
  if (v.DataType == kDataInt) {
    v.FloatValue = v.IntValue;
    v.DataType = kDataDouble;
  }
}

// Arithmetic reads true as -1 and false as 0, as the checking parser does, so that a
// formula computes the value its check promised.
inline long double NumberOf(const TCommonData& v) {
  if (v.DataType == kDataBool) return v.BoolValue ? -1.0L : 0.0L;
  return v.FloatValue;
}

inline void BoolToNumber(TCommonData& v) {
  if (v.DataType == kDataBool) {
    v.FloatValue = NumberOf(v);
    v.DataType = kDataDouble;
  }
}

}  // namespace

TNiporlanParser::TNiporlanParser(TSyntaxParser& owner) : owner_(owner) {}

TNiporlanItem& TNiporlanParser::TakeWork() {
  if (used_ == work_.size()) work_.push_back(std::make_unique<TNiporlanItem>(TCommonData()));
  return *work_[used_++];
}

void TNiporlanParser::Push(TNiporlanItem& item) {
  if (top_ == kStackSize) RaiseStackFull();
  stack_[static_cast<size_t>(++top_)] = &item;
}

TNiporlanItem& TNiporlanParser::Pop() {
  if (top_ < 1) RaiseStackEmpty();
  return *stack_[static_cast<size_t>(top_--)];
}

TNiporlanItem& TNiporlanParser::Peek() {
  if (top_ < 1) RaiseStackEmpty();
  return *stack_[static_cast<size_t>(top_)];
}

const TCommonData& TNiporlanParser::Bottom() const {
  if (stack_[1] == nullptr) RaiseStackEmpty();
  return stack_[1]->Data;
}

void TNiporlanParser::EvaluateValue(const TNiporlan& formula, TCommonData& result) {
  if (formula.IsEmpty()) {
    result.Clear();
    result.SetDouble(0);
    return;
  }
  Run(formula);
  result.Assign(Bottom());
}

bool TNiporlanParser::EvaluateCondition(const TNiporlan& formula) {
  if (formula.IsEmpty()) return true;
  Run(formula);
  return Bottom().BoolValue;
}

void TNiporlanParser::Run(const TNiporlan& formula) {
  // Slot 1 is read even when the last list left the stack empty (a false condition
  // without an ELSE part yields the condition itself), so it must not hold a value of an
  // earlier evaluation.
  stack_[1] = nullptr;
  if (formula.HasCondition()) {
    RunItems(formula.CondItems);
    RunItems(Bottom().BoolValue ? formula.ThenItems : formula.ElseItems);
  } else {
    RunItems(formula.ThenItems);
  }
}

void TNiporlanParser::RunItems(const TNiporlanItems& items) {
  top_ = 0;
  used_ = 0;
  for (const auto& holder : items) {
    const TNiporlanItem& item = *holder;
    switch (item.ItemType) {
      case kItemConstant: PushConstant(item.Data); break;
      case kItemOperator: Operate(item.OpCode); break;
      case kItemCell:
        if (!item.CellRef) RaiseBadItem();
        PushCell(*item.CellRef);
        break;
      case kItemFunction: CallFunction(item.FuncName); break;
      default: RaiseBadItem();
    }
  }
}

void TNiporlanParser::PushConstant(const TCommonData& value) {
  TNiporlanItem& w = TakeWork();
  w.ItemType = kItemConstant;
  w.Data.Assign(value);
  IntToDouble(w.Data);
  Push(w);
}

void TNiporlanParser::PushCell(const TSyntaxCell& cell) {
  TNiporlanItem& w = TakeWork();
  w.ItemType = kItemCell;
  if (!w.CellRef) w.CellRef = std::make_unique<TSyntaxCell>();
  w.CellRef->Assign(cell);
  // The compiled cell still carries the value it had while checking; only what a
  // provider answers now counts.
  w.CellRef->Value.SetVoid();
  owner_.FetchCellValue(*w.CellRef);
  w.Data.Assign(w.CellRef->Value);
  IntToDouble(w.Data);
  if (w.Data.DataType == kDataVoid) Raise(Ansi("Niporlan公式有错误(空数据类型)！"));
  w.Data.ClearIfNull();
  Push(w);
}

void TNiporlanParser::CallFunction(const std::string& name) {
  ISyntaxFunctionListener* listener = owner_.FindListener(name);
  TSyntaxFunction* f = listener ? listener->FindFunction(name) : nullptr;
  if (f == nullptr) Raise(Ansi("没有找到函数“") + name + Ansi("”的侦听器！"));
  // A listener may unregister itself while it computes.
  IntfPtr<ISyntaxFunctionListener> keep(listener);

  size_t count = static_cast<size_t>(f->Count());
  if (f->Variadic) {
    long double n = Pop().Data.FloatValue;
    if (!(n >= 0 && n <= top_)) RaiseStackEmpty();
    count = static_cast<size_t>(n);
  }
  const int declared = f->Count();
  for (size_t i = count; i > 0; --i) {
    TCommonData& arg = Pop().Data;
    if (arg.DataType == kDataBool && declared > 0) {
      // A bool given for a number is -1 or 0, as the check read it.
      int32_t type = f->Params(std::min(static_cast<int>(i) - 1, declared - 1))->ParamType;
      if (type == kDataInt || type == kDataDouble) BoolToNumber(arg);
    }
    args_[i - 1] = &arg;
  }

  TNiporlanItem& w = TakeWork();
  w.ItemType = kItemConstant;
  TCommonData& result = w.Data;
  result.DataType = kDataDouble;
  result.IsNull = false;
  result.Clear();
  if (int32_t code = listener->Execute(name, std::span(args_.data(), count), false, result)) {
    // Writing a made-up value into the record would hide the failure.
    Raise(Ansi("函数“") + name + Ansi("”出错：") + owner_.ErrorText(code));
  }
  IntToDouble(result);
  result.ClearIfNull();
  Push(w);
}

void TNiporlanParser::Operate(int32_t opCode) {
  switch (opCode) {
    case kOpAdd:
    case kOpSubtract:
    case kOpMultiply:
    case kOpDivide:
    case kOpAnd:
    case kOpOr: Arithmetic(opCode); return;
    case kOpNegate: {
      TCommonData& v = Peek().Data;
      BoolToNumber(v);
      v.FloatValue = -v.FloatValue;
      return;
    }
    case kOpEqual:
    case kOpNotEqual:
    case kOpGreater:
    case kOpLess:
    case kOpGreaterEqual:
    case kOpLessEqual: Compare(opCode); return;
    case kOpNot: {
      TCommonData& v = Peek().Data;
      v.BoolValue = !v.BoolValue;
      return;
    }
    case kOpAssign: Assign(); return;
    case kOpReserved: return;
    default: Raise(std::string());
  }
}

// The binary operators whose result stays null only when both operands were null.
void TNiporlanParser::Arithmetic(int32_t opCode) {
  const TCommonData& right = Pop().Data;
  TCommonData& left = Peek().Data;
  const bool bothNull = left.IsNull && right.IsNull;
  if (opCode == kOpAnd || opCode == kOpOr) {
    left.BoolValue = opCode == kOpAnd ? (left.BoolValue && right.BoolValue) : (left.BoolValue || right.BoolValue);
  } else if (opCode == kOpSubtract && left.DataType == kDataDate && right.DataType == kDataDate) {
    // Days between two dates, as the check typed it; leaving the left date would pass a
    // date off as a number of days.
    left.FloatValue = std::trunc(static_cast<long double>(left.DateValue) - right.DateValue);
    left.DataType = kDataDouble;
  } else {
    BoolToNumber(left);
    const long double r = NumberOf(right);
    switch (opCode) {
      case kOpAdd:
        if (left.DataType == kDataDouble) left.FloatValue += r;
        else if (left.DataType == kDataString) left.StrValue += right.StrValue;
        break;
      case kOpSubtract:
        if (left.DataType == kDataDouble) {
          long double x = left.FloatValue - r;
          left.FloatValue = std::fabs(x) < kTolerance ? 0.0L : x;
        }
        break;
      case kOpMultiply: left.FloatValue *= r; break;
      default: left.FloatValue = std::fabs(r) < kTolerance ? 0.0L : left.FloatValue / r; break;
    }
  }
  left.IsNull = bothNull;
  left.ClearIfNull();
}

void TNiporlanParser::Compare(int32_t opCode) {
  const TCommonData& right = Pop().Data;
  TCommonData& left = Peek().Data;
  const int c = left.Compare(right);
  bool r = false;
  switch (opCode) {
    case kOpEqual: r = c == 0; break;
    case kOpNotEqual: r = c != 0; break;
    case kOpGreater: r = c > 0; break;
    case kOpLess: r = c < 0; break;
    case kOpGreaterEqual: r = c >= 0; break;
    default: r = c <= 0; break;
  }
  left.Clear();
  left.SetBool(r);
}

void TNiporlanParser::Assign() {
  const TCommonData& value = Pop().Data;
  TNiporlanItem& target = Pop();
  if (target.ItemType != kItemCell || !target.CellRef) RaiseBadItem();
  target.CellRef->Value.Assign(value);
  if (!owner_.StoreCellValue(*target.CellRef)) {
    Raise(target.CellRef->AsText() + Ansi("：") + owner_.ErrorText(kErrUnknownSyntax));
  }
}

}  // namespace ryn
