#include "eval_command.h"

#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "expr/common_data.h"
#include "expr/str_functions.h"
#include "expr/syntax_parser.h"
#include "platform/codepage.h"
#include "platform/error.h"

namespace ryn::tool {

const char* const kEvalUsage =
    "Usage: ryn eval [--condition] [--describe] [--compiled] [--] FORMULA\n"
    "\n"
    "Parses FORMULA (UTF-8) and prints its type name, a tab and its value.\n"
    "  --condition  read FORMULA as a condition: its value must be bool\n"
    "  --describe   print the formula's Chinese reading on a second line\n"
    "  --compiled   check and compile FORMULA, then print the value of the compiled\n"
    "               formula (every number is a double there)\n"
    "On a formula error prints \"error CODE: MESSAGE\", the formula and a line with \"!\"\n"
    "under the character at which reading stopped, and exits with status 1. An error\n"
    "while running the compiled formula prints \"error: MESSAGE\" and exits with status 1.\n";

namespace {

int UsageError(std::ostream& err, std::string_view problem) {
  err << "ryn eval: " << problem << "\n" << kEvalUsage;
  return 2;
}

// The lines of text separated by CR LF.
void PrintLines(std::ostream& out, std::string_view text) {
  while (!text.empty()) {
    size_t end = text.find("\r\n");
    out << ToUtf8(text.substr(0, end)) << '\n';
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 2);
  }
}

}  // namespace

int RunEval(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
  bool condition = false;
  bool describe = false;
  bool compiled = false;
  bool optionsDone = false;
  std::optional<std::string_view> formula;
  for (std::string_view a : args) {
    // Formulas may start with "-" ("-1"), so only "--..." and "-h" are options.
    if (!optionsDone && (a.starts_with("--") || a == "-h")) {
      if (a == "--") optionsDone = true;
      else if (a == "--help" || a == "-h") return out << kEvalUsage, 0;
      else if (a == "--condition") condition = true;
      else if (a == "--describe") describe = true;
      else if (a == "--compiled") compiled = true;
      else return UsageError(err, "unknown option " + std::string(a));
      continue;
    }
    if (formula) return UsageError(err, "more than one FORMULA");
    formula = a;
  }
  if (!formula) return UsageError(err, "missing FORMULA");

  TSyntaxParser parser;
  // The text functions belong to a parser, as in a script host; the common functions are
  // global and registered at start-up.
  parser.AddFunctionListener(MakeIntf<TStrFunc>());
  parser.SetDescribe(describe);
  // Compiling checks only, as a script host does; values come from the compiled formula.
  parser.SetCompile(compiled);
  parser.SetCheckOnly(compiled);
  TCommonData result;
  std::string text = FromUtf8(*formula);
  int32_t code = condition ? parser.CheckCondition(text, result) : parser.Calculate(text, result);
  if (code != 0) {
    std::string last = parser.LastErrorText();
    size_t firstBreak = last.find("\r\n");
    err << "error " << code << ": " << ToUtf8(parser.ErrorText(code)) << '\n';
    PrintLines(err, std::string_view(last).substr(firstBreak + 2));
    return 1;
  }
  if (compiled) {
    std::unique_ptr<TNiporlan> program = parser.TakeCompiled();
    parser.SetCompile(false);
    parser.SetCheckOnly(false);
    try {
      if (!program) program = std::make_unique<TNiporlan>();
      if (condition) result.SetBool(parser.EvaluateCondition(*program));
      else parser.EvaluateValue(*program, result);
    } catch (const ERynError& e) {
      err << "error: " << ToUtf8(e.Message()) << '\n';
      return 1;
    }
  }
  out << DataTypeName(result.DataType) << '\t' << ToUtf8(result.AsText()) << '\n';
  if (describe) out << ToUtf8(parser.Description()) << '\n';
  return 0;
}

}  // namespace ryn::tool
