// `ryn engines`: the engines of the engine folder, one line each.
#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

namespace ryn::tool {

extern const char* const kEnginesUsage;

// args are the arguments after "engines". Answers the exit status: 0, or 2 for a usage
// error.
int RunEngines(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

}  // namespace ryn::tool
