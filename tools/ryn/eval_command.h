// `ryn eval`: parses one formula and prints its type and value, or the parse error.
#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

namespace ryn::tool {

extern const char* const kEvalUsage;

// args are the arguments after "eval". Answers the exit status: 0 success, 1 a formula
// error, 2 a usage error.
int RunEval(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

}  // namespace ryn::tool
