// The interfaces through which the parser and the evaluator reach what a formula names:
// function listeners declare and compute functions, cell providers resolve and store
// report cells. Also the process-wide list of function listeners that every parser
// consults before its own.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "expr/common_data.h"
#include "expr/syntax_functions.h"
#include "transport/object.h"

namespace ryn {

struct ISyntaxFunctionListener : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{D319F042-006D-424A-8D73-CDE368A44D2B}");
  virtual TSyntaxFunctions& GetFunctions() = 0;
  virtual bool HasFunction(std::string_view name) = 0;
  // Null when the listener does not declare name.
  virtual TSyntaxFunction* FindFunction(std::string_view name) = 0;
  // Computes name over args (in call order). With check set only result's type needs to
  // be right. Fills result (type, value, IsNull cleared) and answers 0, or an error code
  // (201 unknown function, 202 bad arguments, or the listener's own).
  virtual int32_t Execute(std::string_view name, std::span<const TCommonData* const> args, bool check,
                          TCommonData& result) = 0;
  // The listener's own message for code, or empty.
  virtual std::string GetErrorText(int32_t code) = 0;
};

// Owns the declarations; lookups go through the upper-cased name. Subclasses declare
// their functions in their constructor and override Execute.
class TCustomSyntaxFunctionListener : public TInterfacedObject, public virtual ISyntaxFunctionListener {
 public:
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<ISyntaxFunctionListener>(this, iid, obj);
  }
  TSyntaxFunctions& GetFunctions() override { return functions_; }
  bool HasFunction(std::string_view name) override { return FindFunction(name) != nullptr; }
  TSyntaxFunction* FindFunction(std::string_view name) override;
  int32_t Execute(std::string_view name, std::span<const TCommonData* const> args, bool check,
                  TCommonData& result) override;
  std::string GetErrorText(int32_t code) override;

 protected:
  TSyntaxFunctions functions_;
};

// Resolves, stores and describes the report cells that formulas name. The report side of
// a program supplies one; a parser without providers fails every cell reference.
struct ISyntaxCellProvider : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{3118B5A8-4B36-41B2-A00C-7BA723AA06F4}");
  // Fills cell.Value and answers true when the provider knows the cell.
  virtual bool GetCellValue(TSyntaxCell& cell) = 0;
  // Stores cell.Value into the cell; false when the provider does not know the cell.
  virtual bool SetCellValue(const TSyntaxCell& cell) = 0;
  // A reading of the cell for formula descriptions; empty for the cell's text form.
  virtual std::string DescribeCell(const TSyntaxCell& cell) = 0;
  virtual std::string GetErrorText(int32_t code) = 0;
};

using SyntaxListenerList = std::vector<IntfPtr<ISyntaxFunctionListener>>;

// Counts changes of any listener list or declaration list (starting at 1), so that what a
// name resolves to can be remembered until the next change. A listener's HasFunction and
// FindFunction answers may change only with its declarations.
uint64_t SyntaxListenerGeneration();
void NoteSyntaxListenerChange();

// listener->Execute for the parser, which reports failures only as codes: memory that
// runs out is 165, anything else the listener throws, or a text result longer than
// kMaxFormulaText (text_limits.h), is the function's argument error 202.
int32_t ExecuteListener(ISyntaxFunctionListener& listener, std::string_view name,
                        std::span<const TCommonData* const> args, bool check, TCommonData& result);

// The process-wide listeners, in registration order. Read without locking: register and
// unregister at start-up and shut-down, not while formulas are being parsed.
const SyntaxListenerList& GlobalSyntaxListeners();
// Adds listener unless it is already registered.
void RegisterSyntaxListener(const IntfPtr<ISyntaxFunctionListener>& listener);
void UnregisterSyntaxListener(const IntfPtr<ISyntaxFunctionListener>& listener);

}  // namespace ryn
