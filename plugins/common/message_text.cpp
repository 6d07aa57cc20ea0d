#include "common/message_text.h"

#include <cstdarg>
#include <cstdio>

namespace ryn {

std::string Format(const char* pattern, ...) {
  va_list ap;
  va_start(ap, pattern);
  va_list again;
  va_copy(again, ap);
  int n = std::vsnprintf(nullptr, 0, pattern, ap);
  va_end(ap);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), pattern, again);
    out.resize(static_cast<size_t>(n));
  }
  va_end(again);
  return out;
}

}  // namespace ryn
