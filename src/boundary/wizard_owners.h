// Which thread opened each wizard of this library. A wizard is a window: only the thread
// that opened it may drive it, so that two threads never run inside one form at once.
// Threads are told apart by a mark of their own that is never given to another thread
// while a wizard refers to it (thread ids are reused), and a wizard whose opener has
// ended, or whose engine has ended, may be closed by any thread rather than stay open for
// good.
#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "platform/thread_mark.h"

namespace ryn {

class TWizardOwners {
 public:
  TWizardOwners() = default;
  TWizardOwners(const TWizardOwners&) = delete;
  TWizardOwners& operator=(const TWizardOwners&) = delete;

  // The calling thread opened the wizard of handle on the engine of handle engine.
  void Own(intptr_t handle, intptr_t engine);
  // Whether the calling thread may drive the wizard: it opened it (a handle that is no
  // open wizard's is left to the handle list to refuse).
  bool MayDrive(intptr_t handle);
  // Whether the calling thread may close it: as MayDrive, or its opener has ended.
  bool MayClose(intptr_t handle);
  // The engine handle the wizard was opened on; 0 for a handle that is no open wizard's.
  intptr_t EngineOf(intptr_t handle);
  void Forget(intptr_t handle);

 private:
  std::mutex mutex_;
  struct Owner {
    ThreadMark mark;
    intptr_t engine;
  };
  std::unordered_map<intptr_t, Owner> owners_;
};

// An object, not a pointer to one, so that unloading the library takes it along.
TWizardOwners& WizardOwners();

}  // namespace ryn
