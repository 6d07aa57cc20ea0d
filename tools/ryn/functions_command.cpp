#include "functions_command.h"

#include <string>

#include "expr/function_signature.h"
#include "expr/str_functions.h"
#include "expr/syntax_listener.h"
#include "platform/codepage.h"

namespace ryn::tool {
namespace {

constexpr const char* kFunctionsUsage =
    "Usage: ryn functions [--names]\n"
    "\n"
    "Prints every built-in function of the expression language: its title, its declaration\n"
    "and one line per parameter, a blank line between functions (UTF-8). With --names, one\n"
    "line per function: the declaration, a tab and the title.\n";

// The listeners every formula of ryn sees: the process-wide ones and the text functions.
SyntaxListenerList Listeners() {
  SyntaxListenerList all = GlobalSyntaxListeners();
  all.push_back(MakeIntf<TStrFunc>());
  return all;
}

}  // namespace

int RunFunctions(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
  bool namesOnly = false;
  for (std::string_view a : args) {
    if (a == "--help" || a == "-h") return out << kFunctionsUsage, 0;
    if (a == "--names") {
      namesOnly = true;
      continue;
    }
    err << "ryn functions: unexpected argument " << a << "\n" << kFunctionsUsage;
    return 2;
  }
  bool first = true;
  for (const auto& listener : Listeners()) {
    const TSyntaxFunctions& functions = listener->GetFunctions();
    for (int i = 0; i < functions.Count(); ++i) {
      const TSyntaxFunction& function = *functions.Items(i);
      if (namesOnly) {
        out << ToUtf8(DeclarationText(function)) << '\t' << ToUtf8(function.Title) << '\n';
        continue;
      }
      if (!first) out << '\n';
      first = false;
      // The editor's text leaves room between declaration and parameters; one blank line
      // here separates functions instead.
      const std::string text = ToUtf8(SignatureText(function));
      for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find("\r\n", pos);
        std::string_view line = std::string_view(text).substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (!line.empty()) out << line << '\n';
        if (end == std::string::npos) break;
        pos = end + 2;
      }
    }
  }
  return 0;
}

}  // namespace ryn::tool
