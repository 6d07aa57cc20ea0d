// The exported functions never let an exception reach the host: each runs its body here
// and answers its documented failure value instead. The one exception passed on is the
// unwinding of a thread that a host callback ended (pthread_exit, pthread_cancel): the
// thread library requires it to reach the thread's start, and aborts the process when it
// is swallowed. The functions are therefore not noexcept.
#pragma once

#include <cxxabi.h>

#include <utility>

namespace ryn {

// Inside a catch block: whether the exception is no C++ exception at all, as the unwinding
// of a thread's end is (asked this way because that unwinding carries no object a handler
// could bind to).
inline bool ForeignException() { return abi::__cxa_current_exception_type() == nullptr; }

template <class R, class F>
R Firewall(R failure, F&& body) {
  try {
    return std::forward<F>(body)();
  } catch (...) {
    if (ForeignException()) throw;
    return failure;
  }
}

template <class F>
void FirewallVoid(F&& body) {
  try {
    std::forward<F>(body)();
  } catch (...) {
    if (ForeignException()) throw;
  }
}

}  // namespace ryn
