// The live-handle list: every engine and wizard handed to a host as a handle, each entry
// holding one reference. A handle is valid while it is listed; lookups compare addresses
// only and never touch an unlisted object. Locked per operation; duplicates are allowed
// and removal takes the first equal entry.
#pragma once

#include <mutex>
#include <vector>

#include "transport/interfaces.h"

namespace ryn {

class THandleList {
 public:
  intptr_t AddEngine(ITransEngine* engine);
  intptr_t AddConfig(IEngineConfig* config);
  // The listed object behind a handle of that kind, with a reference held; null when the
  // value is no such handle.
  IntfPtr<ITransEngine> FindEngine(intptr_t handle) const;
  IntfPtr<IEngineConfig> FindConfig(intptr_t handle) const;
  // Removes the first entry with that address; false when there is none.
  bool Remove(intptr_t handle);
  size_t Count() const;
  // Releases every reference (library unload).
  void Clear();

 private:
  struct Entry {
    intptr_t address;
    IntfPtr<ITransEngine> engine;
    IntfPtr<IEngineConfig> config;
  };
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
};

// The library's list, created on first use and released when the library unloads.
THandleList& HandleList();

}  // namespace ryn
