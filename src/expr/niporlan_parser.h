// TNiporlanParser runs compiled formulas (TNiporlan) on a value stack of 100 slots. It is
// the per-record half of the expression language: every formula is checked and compiled
// once, then evaluated here many times, so a run allocates nothing once its pool of work
// items has grown to the size the formula needs. Failures raise ENiporlanError.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "expr/niporlan.h"
#include "platform/error.h"

namespace ryn {

// A compiled formula could not be evaluated; the message is meant for the user.
RYN_DECLARE_ERROR(ENiporlanError, ERynError);

class TSyntaxParser;

class TNiporlanParser : public TObject {
 public:
  // Values on the stack at once.
  static constexpr int kStackSize = 100;

  // owner supplies the function listeners and cell providers and must outlive this.
  explicit TNiporlanParser(TSyntaxParser& owner);
  TNiporlanParser(const TNiporlanParser&) = delete;
  TNiporlanParser& operator=(const TNiporlanParser&) = delete;

  // The value of formula: the double 0 when it is empty. With a condition, the THEN or
  // the ELSE list runs by the condition's truth; a false condition without an ELSE part
  // gives the condition's own value (the bool false).
  void EvaluateValue(const TNiporlan& formula, TCommonData& result);
  // True for an empty formula; otherwise BoolValue of what EvaluateValue would give.
  bool EvaluateCondition(const TNiporlan& formula);
  // Evaluates one list from an empty stack. The value is left in stack slot 1.
  void RunItems(const TNiporlanItems& items);

  // ENiporlanError is the only exception that leaves the evaluator: a failure of a
  // function, a cell provider or the memory becomes one, with the text the user sees.

  // Work items created so far (they are reused by every later run).
  size_t PoolSize() const { return work_.size(); }

 private:
  TNiporlanItem& TakeWork() {
    if (used_ == work_.size()) GrowWork();
    return *work_[used_++];
  }
  void GrowWork();
  void Push(TNiporlanItem& item) {
    if (top_ == kStackSize) RaiseStackFull();
    stack_[static_cast<size_t>(++top_)] = &item;
  }
  TNiporlanItem& Pop() {
    if (top_ < 1) RaiseStackEmpty();
    return *stack_[static_cast<size_t>(top_--)];
  }
  TNiporlanItem& Peek() {
    if (top_ < 1) RaiseStackEmpty();
    return *stack_[static_cast<size_t>(top_)];
  }
  [[noreturn]] static void RaiseStackFull();
  [[noreturn]] static void RaiseStackEmpty();
  // What stack slot 1 holds after the lists of the current evaluation have run.
  const TCommonData& Bottom() const;
  // Runs the lists of formula (not empty), leaving the value in slot 1.
  void Run(const TNiporlan& formula);
  void RunList(const TNiporlanItems& items);
  // Called in a catch block: raises what is being handled as an ENiporlanError.
  [[noreturn]] void RaiseEscaped();
  [[noreturn]] void RaiseFunctionFailed(const std::string& name, const std::string& text);

  // An item other than a constant.
  void RunItem(const TNiporlanItem& item);
  void PushCell(const TSyntaxCell& cell);
  void CallFunction(const TNiporlanItem& item);
  // The operators for values of any type.
  void Operate(int32_t opCode);
  void Arithmetic(int32_t opCode);
  void Compare(int32_t opCode);
  void Assign();

  TSyntaxParser& owner_;
  // Slots 1..kStackSize; slot 0 is never used.
  std::array<TNiporlanItem*, kStackSize + 1> stack_{};
  int top_ = 0;
  // work_[0, used_) are in use during the current run, the rest are free.
  std::vector<std::unique_ptr<TNiporlanItem>> work_;
  size_t used_ = 0;
  std::array<const TCommonData*, kStackSize> args_{};
};

}  // namespace ryn
