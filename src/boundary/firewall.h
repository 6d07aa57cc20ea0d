// The exported functions never let an exception reach the host: each runs its body here
// and answers its documented failure value instead.
#pragma once

#include <utility>

namespace ryn {

template <class R, class F>
R Firewall(R failure, F&& body) noexcept {
  try {
    return std::forward<F>(body)();
  } catch (...) {
    return failure;
  }
}

template <class F>
void FirewallVoid(F&& body) noexcept {
  try {
    std::forward<F>(body)();
  } catch (...) {
  }
}

}  // namespace ryn
