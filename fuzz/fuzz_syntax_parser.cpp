// Any formula: checked and evaluated directly, then compiled and evaluated from its
// reverse-Polish form, without a fault; run-time errors are exceptions of the system.
#include <cstdint>
#include <string>

#include "expr/common_functions.h"
#include "expr/syntax_parser.h"
#include "platform/error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ryn::TCommonFunctionsRegistration functions;
  std::string formula(reinterpret_cast<const char*>(data), size);
  ryn::TCommonData result;
  {
    ryn::TSyntaxParser parser;
    parser.Calculate(formula, result);
    parser.CheckCondition(formula, result);
    (void)parser.LastErrorText();
  }
  for (bool condition : {false, true}) {
    ryn::TSyntaxParser parser;
    parser.SetCompile(true);
    parser.SetCheckOnly(true);
    int32_t code = condition ? parser.CheckCondition(formula, result) : parser.Calculate(formula, result);
    if (code != 0) continue;
    std::unique_ptr<ryn::TNiporlan> program = parser.TakeCompiled();
    parser.SetCompile(false);
    parser.SetCheckOnly(false);
    if (!program) continue;
    try {
      for (int run = 0; run < 2; ++run) {
        if (condition) parser.EvaluateCondition(*program);
        else parser.EvaluateValue(*program, result);
      }
    } catch (const ryn::ERynError&) {
      // A run-time error of the formula (division by zero, stack limits, ...).
    }
  }
  return 0;
}
