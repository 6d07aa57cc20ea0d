// An event handler: a std::function whose callable is wrapped, where it is assigned, in a
// catch that shows the std::exception it raises (Application::HandleException) and answers
// a default value (false for the bool handlers: refused) instead of letting it leave.
//
// The catch has to be in the module that assigns the handler, not in this library's Guard:
// on 32-bit Windows every module links its own static libgcc and unwinds through the DWARF
// tables only it registered, so an exception thrown by an engine library's handler cannot
// be unwound through this library's frames to a catch here; the process would end. Built
// as a template in the assigning code, the wrapper and the callable share one module.
// Elsewhere the result is the same as Guard's: the exception is shown, nothing more.
// Other exceptions pass on unchanged, as they pass Guard.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

#include "ui/ui_api.h"

namespace ryn::ui {

// Shows the exception as Application::Guard does; defined in application.cpp.
RYN_UI_API void ShowHandlerException(const std::exception& e);

template <class Signature>
class Handler;

template <class R, class... Args>
class Handler<R(Args...)> : public std::function<R(Args...)> {
  using Base = std::function<R(Args...)>;

  template <class F>
  using Callable = std::enable_if_t<!std::is_same_v<std::decay_t<F>, Handler> &&
                                    !std::is_same_v<std::decay_t<F>, std::nullptr_t> &&
                                    std::is_invocable_r_v<R, std::decay_t<F>&, Args...>>;

 public:
  Handler() = default;
  Handler(std::nullptr_t) {}  // NOLINT: as std::function
  template <class F, class = Callable<F>>
  Handler(F&& f) : Base(Wrap(std::forward<F>(f))) {}  // NOLINT: as std::function
  Handler(const Handler&) = default;
  Handler(Handler&&) noexcept = default;
  Handler& operator=(const Handler&) = default;
  Handler& operator=(Handler&&) noexcept = default;
  Handler& operator=(std::nullptr_t) {
    Base::operator=(nullptr);
    return *this;
  }
  template <class F, class = Callable<F>>
  Handler& operator=(F&& f) {
    Base::operator=(Wrap(std::forward<F>(f)));
    return *this;
  }

 private:
  template <class F>
  static Base Wrap(F&& f) {
    using Fn = std::decay_t<F>;
    // An empty function or null pointer stays an empty handler.
    if constexpr (std::is_constructible_v<bool, const Fn&>) {
      if (!static_cast<bool>(f)) return Base();
    }
    return [fn = Fn(std::forward<F>(f))](Args... args) mutable -> R {
      try {
        return fn(std::forward<Args>(args)...);
      } catch (const std::exception& e) {
        ShowHandlerException(e);
        if constexpr (!std::is_void_v<R>) return R();
      }
    };
  }
};

}  // namespace ryn::ui
