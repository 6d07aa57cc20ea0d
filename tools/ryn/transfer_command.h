// `ryn transfer`: moves the records of one engine into another through a mapping script,
// both engines found by name in the engine folder and driven through their libraries'
// exported functions, as a host drives them.
#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

namespace ryn::tool {

extern const char* const kTransferUsage;

// args are the arguments after "transfer". Answers the exit status: 0 success, 1 when an
// error was reported or the script did not compile, 2 a usage error, 130 when stopped by
// Ctrl-C.
int RunTransfer(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

}  // namespace ryn::tool
