#include "expr/niporlan_parser.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <span>
#include <stdexcept>

#include "expr/syntax_errors.h"
#include "expr/syntax_parser.h"
#include "expr/text_limits.h"
#include "platform/codepage.h"

namespace ryn {
namespace {

constexpr long double kTolerance = 0.00001L;

[[noreturn, gnu::cold, gnu::noinline]] void Raise(std::string message) { throw ENiporlanError(std::move(message)); }

[[noreturn, gnu::cold, gnu::noinline]] void RaiseBadItem() { Raise(Ansi("不正确的NiporlanItem.Type！")); }

[[noreturn, gnu::cold, gnu::noinline]] void RaiseTextTooLong(TSyntaxParser& owner) {
  Raise(owner.ErrorText(kErrTextTooLong));
}

// TCommonData::Assign for the values that move on every evaluation. FloatValue travels as
// bytes, which costs less than an 80-bit load and store, and an empty string is left alone
// rather than assigned.
inline void CopyValue(TCommonData& to, const TCommonData& from) {
  to.DataType = from.DataType;
  to.IsNull = from.IsNull;
  to.IntValue = from.IntValue;
  std::memcpy(&to.FloatValue, &from.FloatValue, sizeof to.FloatValue);
  to.BoolValue = from.BoolValue;
  to.DateValue = from.DateValue;
  if (!from.StrValue.empty() || !to.StrValue.empty()) to.StrValue = from.StrValue;
}

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

inline bool IsArithmetic(int32_t opCode) {
  return opCode == kOpAdd || opCode == kOpSubtract || opCode == kOpMultiply || opCode == kOpDivide;
}

inline bool IsComparison(int32_t opCode) {
  return opCode >= kOpEqual && opCode <= kOpLessEqual && opCode != kOpReserved;
}

// + - * / on two doubles by the stack's rules; opCode is one of the four.
inline long double NumberArithmetic(int32_t opCode, long double left, long double right) {
  switch (opCode) {
    case kOpAdd: return left + right;
    case kOpSubtract: {
      long double x = left - right;
      return std::fabs(x) < kTolerance ? 0.0L : x;
    }
    case kOpMultiply: return left * right;
    default: return std::fabs(right) < kTolerance ? 0.0L : left / right;
  }
}

// A comparison (opCode one of them) of two doubles by Compare's rule for doubles; left
// becomes the bool.
// Whether a comparison operator holds for a three-way result c (<0, 0, >0).
inline bool ComparisonHolds(int32_t opCode, int c) {
  switch (opCode) {
    case kOpEqual: return c == 0;
    case kOpNotEqual: return c != 0;
    case kOpGreater: return c > 0;
    case kOpLess: return c < 0;
    case kOpGreaterEqual: return c >= 0;
    default: return c <= 0;
  }
}

inline void CompareNumbers(int32_t opCode, TCommonData& left, long double right) {
  const long double a = left.FloatValue;
  const int c = std::fabs(a - right) < kTolerance ? 0 : (a < right ? -1 : 1);
  const bool r = ComparisonHolds(opCode, c);
  left.Clear();
  left.SetBool(r);
}

inline bool IsPlainDouble(const TCommonData& v) { return v.DataType == kDataDouble && !v.IsNull; }

// A constant that arithmetic takes as it stands: a non-null int or double.
inline bool ConstantNumber(const TNiporlanItem& item, long double& x) {
  if (item.ItemType != kItemConstant || item.Data.IsNull) return false;
  if (item.Data.DataType == kDataDouble) x = item.Data.FloatValue;
  else if (item.Data.DataType == kDataInt) x = item.Data.IntValue;
  else return false;
  return true;
}

}  // namespace

TNiporlanParser::TNiporlanParser(TSyntaxParser& owner) : owner_(owner) {}

void TNiporlanParser::RaiseStackFull() { Raise(Ansi("公式过于复杂，请简化公式（Stack已满）！")); }

void TNiporlanParser::RaiseStackEmpty() { Raise(Ansi("Niporlan Stack 已经为空！")); }

void TNiporlanParser::GrowWork() { work_.push_back(std::make_unique<TNiporlanItem>(TCommonData())); }

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
  // What Assign does: a stack value is a plain TCommonData, which carries no cell even
  // when result is a TSyntaxData.
  CopyValue(result, Bottom());
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
  try {
    if (formula.HasCondition()) {
      RunList(formula.CondItems);
      RunList(Bottom().BoolValue ? formula.ThenItems : formula.ElseItems);
    } else {
      RunList(formula.ThenItems);
    }
  } catch (...) {
    RaiseEscaped();
  }
}

void TNiporlanParser::RunItems(const TNiporlanItems& items) {
  try {
    RunList(items);
  } catch (...) {
    RaiseEscaped();
  }
}

void TNiporlanParser::RaiseEscaped() {
  try {
    throw;
  } catch (const ENiporlanError&) {
    throw;
  } catch (const ERynError& e) {
    Raise(e.Message());
  } catch (const std::bad_alloc&) {
    Raise(owner_.ErrorText(kErrOutOfMemory));
  } catch (const std::length_error&) {
    Raise(owner_.ErrorText(kErrOutOfMemory));
  } catch (...) {
    Raise(owner_.ErrorText(kErrUnknownSyntax));
  }
}

void TNiporlanParser::RaiseFunctionFailed(const std::string& name, const std::string& text) {
  Raise(Ansi("函数“") + name + Ansi("”出错：") + text);
}

// Constants, and arithmetic and comparisons of doubles, most of what formulas are made of,
// run here on local copies of the stack top and the pool mark; every other item goes
// through RunItem. The results are those of the general operators.
void TNiporlanParser::RunList(const TNiporlanItems& items) {
  int top = 0;
  size_t used = 0;
  TNiporlanItem** const stack = stack_.data();
  const size_t count = items.size();
  for (size_t i = 0; i < count; ++i) {
    const TNiporlanItem& item = *items[i];
    if (item.ItemType == kItemConstant) {
      if (top == kStackSize) RaiseStackFull();
      // Number constants that a binary operator takes at once ("x*2+1", "x>10") are
      // applied to the top directly; pushing each would give the same value.
      long double c;
      if (top >= 1 && i + 1 < count && items[i + 1]->ItemType == kItemOperator && IsPlainDouble(stack[top]->Data) &&
          ConstantNumber(item, c)) {
        TCommonData& left = stack[top]->Data;
        int32_t op = items[i + 1]->OpCode;
        if (IsArithmetic(op)) {
          long double acc = left.FloatValue;
          for (;;) {
            acc = NumberArithmetic(op, acc, c);
            i += 2;
            if (i + 1 >= count || items[i + 1]->ItemType != kItemOperator || !ConstantNumber(*items[i], c)) break;
            op = items[i + 1]->OpCode;
            if (!IsArithmetic(op)) break;
          }
          left.FloatValue = acc;
          --i;
          continue;
        }
        if (IsComparison(op)) {
          CompareNumbers(op, left, c);
          ++i;
          continue;
        }
      }
      if (used == work_.size()) GrowWork();
      TNiporlanItem& w = *work_[used++];
      w.ItemType = kItemConstant;
      CopyValue(w.Data, item.Data);
      IntToDouble(w.Data);
      stack[++top] = &w;
      continue;
    }
    if (item.ItemType == kItemOperator && top >= 2 && IsPlainDouble(stack[top]->Data) &&
        IsPlainDouble(stack[top - 1]->Data)) {
      TCommonData& left = stack[top - 1]->Data;
      const long double right = stack[top]->Data.FloatValue;
      if (IsArithmetic(item.OpCode)) {
        left.FloatValue = NumberArithmetic(item.OpCode, left.FloatValue, right);
        --top;
        continue;
      }
      if (IsComparison(item.OpCode)) {
        CompareNumbers(item.OpCode, left, right);
        --top;
        continue;
      }
    }
    top_ = top;
    used_ = used;
    RunItem(item);
    top = top_;
    used = used_;
  }
  top_ = top;
  used_ = used;
}

void TNiporlanParser::RunItem(const TNiporlanItem& item) {
  switch (item.ItemType) {
    case kItemOperator: Operate(item.OpCode); return;
    case kItemCell:
      if (!item.CellRef) RaiseBadItem();
      PushCell(*item.CellRef);
      return;
    case kItemFunction: CallFunction(item); return;
    default: RaiseBadItem();
  }
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

void TNiporlanParser::CallFunction(const TNiporlanItem& item) {
  const std::string& name = item.FuncName;
  TNiporlanItem::Resolution& r = item.Resolved;
  const uint64_t generation = SyntaxListenerGeneration();
  if (r.generation != generation || r.parser != &owner_) {
    bool global = false;
    ISyntaxFunctionListener* found = owner_.FindListener(name, &global);
    TSyntaxFunction* declared = found ? found->FindFunction(name) : nullptr;
    if (declared == nullptr) Raise(Ansi("没有找到函数“") + name + Ansi("”的侦听器！"));
    r = {&owner_, generation, found, declared, global};
  }
  ISyntaxFunctionListener* listener = r.listener;
  TSyntaxFunction* f = r.function;
  // A global listener may unregister itself while it computes; the parser's own stay.
  IntfPtr<ISyntaxFunctionListener> keep(r.global ? listener : nullptr);

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
  int32_t code = 0;
  try {
    code = listener->Execute(name, std::span(args_.data(), count), false, result);
  } catch (const ENiporlanError&) {
    throw;
  } catch (const ERynError& e) {
    RaiseFunctionFailed(name, e.Message());
  } catch (const std::bad_alloc&) {
    code = kErrOutOfMemory;
  } catch (...) {
    code = kErrBadArguments;
  }
  if (code == 0 && result.DataType == kDataString && result.StrValue.size() > kMaxFormulaText) code = kErrBadArguments;
  // Writing a made-up value into the record would hide the failure.
  if (code) RaiseFunctionFailed(name, owner_.ErrorText(code));
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
        else if (left.DataType == kDataString) {
          if (left.StrValue.size() + right.StrValue.size() > kMaxFormulaText) RaiseTextTooLong(owner_);
          left.StrValue += right.StrValue;
        }
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
  const bool r = ComparisonHolds(opCode, c);
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
