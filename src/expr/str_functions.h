// TStrFunc: the text functions every script host adds to its own parser (trimming,
// padding to a width, formatting a date). Names are matched ignoring case. When only
// asked for the result type they compute nothing, except FormatDate.
#pragma once

#include <cstdint>
#include <string_view>

#include "expr/function_args.h"
#include "expr/syntax_listener.h"

namespace ryn {

class TStrFunc : public TCustomSyntaxFunctionListener {
 public:
  TStrFunc();
  // 1 for a name it does not declare, 202 for a wrong argument count or type.
  int32_t Execute(std::string_view name, FunctionArgs args, bool check, TCommonData& result) override;
};

}  // namespace ryn
