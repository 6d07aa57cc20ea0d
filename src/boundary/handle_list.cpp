#include "boundary/handle_list.h"

namespace ryn {

intptr_t THandleList::AddEngine(ITransEngine* engine) {
  auto address = reinterpret_cast<intptr_t>(engine);
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back({address, engine, nullptr});
  return address;
}

intptr_t THandleList::AddConfig(IEngineConfig* config) {
  auto address = reinterpret_cast<intptr_t>(config);
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back({address, nullptr, config});
  return address;
}

IntfPtr<ITransEngine> THandleList::FindEngine(intptr_t handle) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& e : entries_)
    if (e.address == handle && e.engine) return e.engine;
  return nullptr;
}

IntfPtr<IEngineConfig> THandleList::FindConfig(intptr_t handle) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& e : entries_)
    if (e.address == handle && e.config) return e.config;
  return nullptr;
}

bool THandleList::Remove(intptr_t handle) {
  Entry removed;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->address == handle) {
        removed = std::move(*it);
        entries_.erase(it);
        break;
      }
    }
  }
  // The reference goes outside the lock: releasing may run a destructor that calls back.
  return removed.engine || removed.config;
}

size_t THandleList::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

void THandleList::Clear() {
  std::vector<Entry> old;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    old.swap(entries_);
  }
}

THandleList& HandleList() {
  static THandleList list;
  return list;
}

}  // namespace ryn
