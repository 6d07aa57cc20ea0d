// The signature text of a function as the formula editor shows it: its title, its
// declaration line ("double ROUND(double value, double dec)") and one line per parameter.
#pragma once

#include <string>

#include "expr/syntax_functions.h"

namespace ryn {

// Lines end in CR LF; text is in the process code page.
std::string SignatureText(const TSyntaxFunction& function);
// The declaration line alone: "double ROUND(double value, double dec)".
std::string DeclarationText(const TSyntaxFunction& function);

}  // namespace ryn
