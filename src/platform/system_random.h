// Random bits from the system, asked without ever waiting (a library may load early in a
// machine's start, before the system has gathered randomness).
#pragma once

#include <cstdint>

namespace ryn {

// False when the system had none to give at once; value is then untouched.
bool SystemRandom(uint32_t& value);

}  // namespace ryn
