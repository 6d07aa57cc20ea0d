// ryn: the command-line host. Runs one command of the system from a shell; later commands
// join "eval" here.
#include <iostream>
#include <string_view>
#include <vector>

#include "eval_command.h"
#include "expr/common_functions.h"
#include "platform/codepage.h"

namespace {

// The common functions are there for every formula the program reads.
const ryn::TCommonFunctionsRegistration kCommonFunctions;

constexpr const char* kUsage =
    "Usage: ryn COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  eval   parse a formula and print its type and value\n"
    "\n"
    "Run \"ryn COMMAND --help\" for the arguments of a command.\n";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  std::string_view command = args.front();
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage;
    return 0;
  }
  // Without a usable code page every text of the system would come out as "?".
  if (const std::string& problem = ryn::CodePageProblem(); !problem.empty()) {
    std::cerr << "ryn: " << problem << "\n";
    return 2;
  }
  if (command == "eval") return ryn::tool::RunEval(std::span(args).subspan(1), std::cout, std::cerr);
  std::cerr << "ryn: unknown command " << command << "\n" << kUsage;
  return 2;
}
