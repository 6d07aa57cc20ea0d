// Messages of our engines: printf-style patterns of the system's texts (already in the
// process code page) filled with numbers and names.
#pragma once

#include <string>

namespace ryn {

std::string Format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

}  // namespace ryn
