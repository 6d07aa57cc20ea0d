// The longest text a formula may compute. Functions whose result length comes from an
// argument and the concatenation of texts refuse to go beyond it, so that no formula can
// make the process ask for more memory than a handful of such texts take.
#pragma once

#include <cstddef>

namespace ryn {

// 64 MiB of bytes in the process code page.
constexpr size_t kMaxFormulaText = size_t{64} << 20;

}  // namespace ryn
