// Any formula: checked, evaluated directly, compiled and evaluated again, without a fault.
#include <cstdint>
#include <string>

#include "expr/common_functions.h"
#include "expr/syntax_parser.h"
#include "platform/error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ryn::TCommonFunctionsRegistration functions;
  std::string formula(reinterpret_cast<const char*>(data), size);
  ryn::TSyntaxParser parser;
  ryn::TCommonData result;
  parser.Calculate(formula, result);
  parser.CheckCondition(formula, result);
  (void)parser.LastErrorText();
  return 0;
}
