// `ryn functions`: every built-in function of the expression language with its title and
// signature, as the language's own declarations give them.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

namespace ryn::tool {

int RunFunctions(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);

}  // namespace ryn::tool
