// What an engine library reports and creates: filled once by the library's start-up
// before any exported function is called, read by the exported functions afterwards.
// The exported-function layer is the same in every engine library; only this differs.
#pragma once

#include <cstdint>
#include <string>

#include "transport/interfaces.h"

namespace ryn {

using EngineFactoryFn = IntfPtr<ITransEngine> (*)();

struct LibraryRegistration {
  EngineFactoryFn sourceFactory = nullptr;       // EngineInit(1)
  EngineFactoryFn destinationFactory = nullptr;  // EngineInit(2)
  std::string name;                              // EngineGetName
  std::string description;                       // EngineDiscription
  int32_t engineTypes = 0;                       // EngineGetType: bit 1 source, bit 2 destination
  bool startupFailed = false;                    // EngineInit then creates nothing
};

LibraryRegistration& Registration();

// Runs fn once when the library is loaded, before any export is called (a library's
// start-up file uses this at namespace scope). Loading a library must never end its
// host: a failing start-up leaves a library that creates no engines.
struct LibraryStartup {
  explicit LibraryStartup(void (*fn)(LibraryRegistration&)) noexcept {
    try {
      fn(Registration());
    } catch (...) {
      Registration().startupFailed = true;
    }
  }
};

}  // namespace ryn
