// ryn: the command-line host. Runs one command of the system from a shell.
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "console_system.h"
#include "engines_command.h"
#include "functions_command.h"
#include "eval_command.h"
#include "transfer_command.h"
#include "window_commands.h"
#include "expr/common_functions.h"
#include "platform/codepage.h"
#include "platform/error.h"

namespace {

// The common functions are there for every formula the program reads.
const ryn::TCommonFunctionsRegistration kCommonFunctions;

constexpr const char* kUsage =
    "Usage: ryn COMMAND [ARGUMENTS]\n"
    "\n"
    "Commands:\n"
    "  engines    list the engines of the engine folder\n"
    "  eval       parse a formula and print its type and value\n"
    "  functions  list the built-in functions of the expression language\n"
    "  transfer   move the records of one engine into another\n"
    "  wizard     make a transfer in the transfer wizard's windows and run it\n"
    "  config     step through an engine's configuration wizard; print its options\n"
    "\n"
    "Run \"ryn COMMAND --help\" for the arguments of a command; \"ryn --version\" prints\n"
    "the version and the process code page.\n";

int Run(const std::vector<std::string>& commandLine) {
  std::vector<std::string_view> args;
  for (size_t i = 1; i < commandLine.size(); ++i) args.push_back(commandLine[i]);
  if (args.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  std::string_view command = args.front();
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage;
    return 0;
  }
  if (command == "--version") {
    std::cout << "ryn " << RYNFILER_VERSION << "\ncode page: " << ryn::ProcessCodePage().Name();
    if (!ryn::CodePageProblem().empty()) std::cout << " (unusable: " << ryn::CodePageProblem() << ")";
    std::cout << "\n";
    return 0;
  }
  // Without a usable code page every text of the system would come out as "?".
  if (const std::string& problem = ryn::CodePageProblem(); !problem.empty()) {
    std::cerr << "ryn: " << problem << "\n";
    return 2;
  }
  auto rest = std::span(args).subspan(1);
  if (command == "eval") return ryn::tool::RunEval(rest, std::cout, std::cerr);
  if (command == "engines") return ryn::tool::RunEngines(rest, std::cout, std::cerr);
  if (command == "transfer") return ryn::tool::RunTransfer(rest, std::cout, std::cerr);
  if (command == "wizard") return ryn::tool::RunWizard(rest, std::cout, std::cerr);
  if (command == "config") return ryn::tool::RunConfig(rest, std::cout, std::cerr);
  if (command == "functions") return ryn::tool::RunFunctions(rest, std::cout, std::cerr);
  std::cerr << "ryn: unknown command " << command << "\n" << kUsage;
  return 2;
}

}  // namespace

// Whatever a command did not handle is reported, never left to abort the process.
int main(int argc, char** argv) {
  try {
    return Run(ryn::tool::CommandLine(argc, argv));
  } catch (const std::bad_alloc&) {
    std::cerr << "ryn: error: out of memory\n";
  } catch (const ryn::ERynError& e) {
    std::cerr << "ryn: error: " << ryn::ToUtf8(e.Message()) << "\n";
  } catch (const std::exception& e) {
    std::cerr << "ryn: error: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "ryn: error: unexpected failure\n";
  }
  return 1;
}
