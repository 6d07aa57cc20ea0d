// `ryn wizard` and `ryn config`: the system's windows for a user at the screen. The wizard
// command makes a transfer by pointing and clicking (the transfer wizard, then the run in
// the progress log window); the config command steps through one engine's own
// configuration wizard in a window of its own and prints the options text it produced.
#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

namespace ryn::tool {

extern const char* const kWizardUsage;
extern const char* const kConfigUsage;

// args are the arguments after the command's name. Exit status: 0 done, 1 cancelled by the
// user or failed (the reason on err), 2 a usage error.
int RunWizard(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
int RunConfig(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

}  // namespace ryn::tool
