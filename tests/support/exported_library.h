// An engine library loaded as a host loads it (dlopen, LoadLibrary), and its exported
// functions looked up by name, called with the library's convention (RYN_CALL). Loading a
// library the test program already links gives that same library.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "rynfiler.h"

namespace ryn::testing {

// Messages an engine sent, as (kind, text).
using Messages = std::vector<std::pair<int32_t, std::string>>;

class ExportedLibrary {
 public:
  explicit ExportedLibrary(const std::string& path);
  ~ExportedLibrary();
  ExportedLibrary(const ExportedLibrary&) = delete;
  ExportedLibrary& operator=(const ExportedLibrary&) = delete;

  template <class Fn>
  Fn Get(const char* name) const {
    return reinterpret_cast<Fn>(Symbol(name));
  }
  void* Symbol(const char* name) const;

  // An engine of that direction with message callbacks logging into messages.
  RynHandle Open(Messages* messages, int32_t direction = RYN_SOURCE) const;
  void Close(RynHandle h) const;

 private:
  void* lib_;
};

}  // namespace ryn::testing
