// Any formula, with every built-in function there: in every mode of the parser (value,
// condition, assignment, each also describing itself) it ends in a value or an error code,
// and what compiles runs from its reverse-Polish form to a value or a run-time error of
// the system. Any text as a mapping script compiles or is refused, the same way.
#include <cstdint>
#include <string>

#include "expr/common_functions.h"
#include "expr/named_host.h"
#include "expr/str_functions.h"
#include "expr/syntax_parser.h"
#include "platform/error.h"
#include "transport/object.h"

namespace {

int32_t RunMode(ryn::TSyntaxParser& parser, int mode, const std::string& formula, ryn::TCommonData& result) {
  switch (mode) {
    case ryn::TSyntaxParser::kModeCondition: return parser.CheckCondition(formula, result);
    case ryn::TSyntaxParser::kModeAssignment: return parser.CheckAssignment(formula, result);
    default: return parser.Calculate(formula, result);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static ryn::TCommonFunctionsRegistration functions;
  std::string formula(reinterpret_cast<const char*>(data), size);
  ryn::TCommonData result;
  for (int mode : {ryn::TSyntaxParser::kModeCondition, ryn::TSyntaxParser::kModeAssignment,
                   ryn::TSyntaxParser::kModeValue}) {
    for (bool describe : {false, true}) {
      ryn::TSyntaxParser parser;
      parser.AddFunctionListener(ryn::MakeIntf<ryn::TStrFunc>());
      parser.SetDescribe(describe);
      RunMode(parser, mode, formula, result);
      (void)parser.LastErrorText();
      (void)parser.Description();
    }
  }
  for (int mode : {ryn::TSyntaxParser::kModeCondition, ryn::TSyntaxParser::kModeValue}) {
    const bool condition = mode == ryn::TSyntaxParser::kModeCondition;
    ryn::TSyntaxParser parser;
    parser.AddFunctionListener(ryn::MakeIntf<ryn::TStrFunc>());
    parser.SetCompile(true);
    parser.SetCheckOnly(true);
    if (RunMode(parser, mode, formula, result) != 0) continue;
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

  ryn::IntfPtr<ryn::TNamedHost> host = ryn::MakeIntf<ryn::TNamedHost>();
  host->SetScript(formula);
  (void)host->Compile();
  (void)host->GetScript();
  return 0;
}
