#include "boundary/wizard_owners.h"

#include <utility>

namespace ryn {

void TWizardOwners::Own(intptr_t handle, intptr_t engine) {
  ThreadMark mark = ThisThreadMark();
  std::lock_guard<std::mutex> lock(mutex_);
  owners_[handle] = Owner{std::move(mark), engine};
}

bool TWizardOwners::MayDrive(intptr_t handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = owners_.find(handle);
  return it == owners_.end() || it->second.mark == ThisThreadMark();
}

bool TWizardOwners::MayClose(intptr_t handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = owners_.find(handle);
  return it == owners_.end() || it->second.mark == ThisThreadMark() ||
         it->second.mark->load(std::memory_order_acquire);
}

intptr_t TWizardOwners::EngineOf(intptr_t handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = owners_.find(handle);
  return it == owners_.end() ? 0 : it->second.engine;
}

void TWizardOwners::Forget(intptr_t handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = owners_.find(handle);
  if (it != owners_.end()) owners_.erase(it);
}

TWizardOwners& WizardOwners() {
  static TWizardOwners owners;
  return owners;
}

}  // namespace ryn
