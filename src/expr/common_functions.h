// The common functions of the expression language: numbers, byte-based text, dates and
// identification codes. One listener serves every parser of a program from the global
// listener list; it always computes, even when only asked for the result type.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "expr/function_args.h"
#include "expr/syntax_listener.h"

namespace ryn {

class TSyntaxCommonFunctionListener : public TCustomSyntaxFunctionListener {
 public:
  TSyntaxCommonFunctionListener();
  // 201 for a name it does not declare, 202 for a wrong argument count (or a non-number
  // for ABS).
  int32_t Execute(std::string_view name, FunctionArgs args, bool check, TCommonData& result) override;

  using Handler = int32_t (*)(FunctionArgs args, TCommonData& result);

 private:
  std::vector<std::pair<const TSyntaxFunction*, Handler>> handlers_;
};

// Keeps a common-function listener in the global listener list for its own lifetime. A
// program's start-up holds one at namespace scope, so the functions are there from the
// start and leave at the end.
class TCommonFunctionsRegistration {
 public:
  TCommonFunctionsRegistration();
  ~TCommonFunctionsRegistration();
  TCommonFunctionsRegistration(const TCommonFunctionsRegistration&) = delete;
  TCommonFunctionsRegistration& operator=(const TCommonFunctionsRegistration&) = delete;

  const IntfPtr<ISyntaxFunctionListener>& Listener() const { return listener_; }

 private:
  IntfPtr<ISyntaxFunctionListener> listener_;
};

}  // namespace ryn
