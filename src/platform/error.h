// The root of the system's exceptions: a message in the process code page, shown to the
// user as it stands.
#pragma once

#include <exception>
#include <string>

namespace ryn {

class ERynError : public std::exception {
 public:
  explicit ERynError(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

#define RYN_DECLARE_ERROR(Name, Base)          \
  class Name : public Base {                   \
   public:                                     \
    using Base::Base;                          \
  }

// Reading or writing a stream failed; opening a file failed.
RYN_DECLARE_ERROR(EStreamError, ERynError);
RYN_DECLARE_ERROR(EFileOpenError, EStreamError);

}  // namespace ryn
