#include "boundary/wizard_owners.h"

#include <pthread.h>

#include <atomic>
#include <utility>

namespace ryn {

// One per thread that touched a wizard; counted, so that its address is not reused
// while a wizard still names it as its owner.
struct TThreadMark {
  std::atomic<int> refs{1};
  std::atomic<bool> ended{false};
};

namespace {

void Release(TThreadMark* mark) {
  if (mark->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete mark;
}

// A raw pointer (no thread_local destructor, which would keep the library loaded until
// every thread that used it ended); a thread's end is told by a key destructor instead.
thread_local TThreadMark* tMark = nullptr;

pthread_key_t gKey;
bool gKeyMade = false;

void EndMark(void* value) {
  auto* mark = static_cast<TThreadMark*>(value);
  mark->ended.store(true, std::memory_order_release);
  // A later call of this thread (from a host's own key destructor) gets a new mark,
  // which owns nothing.
  if (tMark == mark) tMark = nullptr;
  Release(mark);
}

TThreadMark* ThisThread() {
  if (!tMark) {
    tMark = new TThreadMark;
    if (gKeyMade) pthread_setspecific(gKey, tMark);
  }
  return tMark;
}

}  // namespace

TWizardOwners::TWizardOwners() { gKeyMade = pthread_key_create(&gKey, &EndMark) == 0; }

// At unload: no thread may run the key's destructor of an unmapped library afterwards.
// The marks of other threads still running stay behind; the unloading thread's goes.
TWizardOwners::~TWizardOwners() {
  if (gKeyMade) pthread_key_delete(gKey);
  gKeyMade = false;
  if (TThreadMark* mine = std::exchange(tMark, nullptr)) Release(mine);
  for (auto& [handle, owner] : owners_) Release(owner.mark);
}

void TWizardOwners::Own(intptr_t handle, intptr_t engine) {
  TThreadMark* mark = ThisThread();
  std::lock_guard<std::mutex> lock(mutex_);
  mark->refs.fetch_add(1, std::memory_order_relaxed);
  auto [it, added] = owners_.emplace(handle, Owner{mark, engine});
  if (!added) {
    Release(it->second.mark);
    it->second = Owner{mark, engine};
  }
}

bool TWizardOwners::MayDrive(intptr_t handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = owners_.find(handle);
  return it == owners_.end() || it->second.mark == tMark;
}

bool TWizardOwners::MayClose(intptr_t handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = owners_.find(handle);
  return it == owners_.end() || it->second.mark == tMark || it->second.mark->ended.load(std::memory_order_acquire);
}

intptr_t TWizardOwners::EngineOf(intptr_t handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = owners_.find(handle);
  return it == owners_.end() ? 0 : it->second.engine;
}

void TWizardOwners::Forget(intptr_t handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = owners_.find(handle);
  if (it == owners_.end()) return;
  Release(it->second.mark);
  owners_.erase(it);
}

TWizardOwners& WizardOwners() {
  static TWizardOwners owners;
  return owners;
}

}  // namespace ryn
