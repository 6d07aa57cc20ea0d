#include "boundary/handle_list.h"

#include <linux/membarrier.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "boundary/event_adapter.h"

namespace ryn {
namespace handles {

thread_local Hazards* tThreadHazards = nullptr;
bool gMembarrier = false;

}  // namespace handles

using namespace handles;

namespace {

// Every thread's hazard record, kept in a list that only grows; a record is handed to
// a new thread once its thread has ended. The barrier that makes the threads'
// announcements visible is the kernel's process-wide membarrier when it is there (the
// announcing side then needs no fence at all), a full fence on both sides otherwise.
class HazardRegistry {
 public:
  static HazardRegistry& Get() {
    static HazardRegistry registry;
    return registry;
  }

  Hazards* ForThisThread() {
    Hazards* mine = nullptr;
    for (Hazards* h = head_.load(std::memory_order_acquire); h && !mine; h = h->next) {
      bool expected = false;
      if (h->owned.compare_exchange_strong(expected, true, std::memory_order_acq_rel)) mine = h;
    }
    if (!mine) {
      auto* h = new Hazards;
      h->next = head_.load(std::memory_order_relaxed);
      while (!head_.compare_exchange_weak(h->next, h, std::memory_order_acq_rel)) {
      }
      mine = h;
    }
    // The record goes back when the thread ends.
    if (keyMade_) pthread_setspecific(key_, mine);
    tThreadHazards = mine;
    return mine;
  }

  template <class F>
  void ForEach(F&& f) const {
    for (Hazards* h = head_.load(std::memory_order_acquire); h; h = h->next) f(*h);
  }

  // Before reading other threads' announcements.
  void WriterBarrier() const {
    if (!gMembarrier || syscall(__NR_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0) != 0)
      std::atomic_thread_fence(std::memory_order_seq_cst);
  }

 private:
  HazardRegistry() : keyMade_(pthread_key_create(&key_, &ReleaseRecord) == 0) {
    gMembarrier = syscall(__NR_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) == 0;
  }
  // At unload: no thread may run the key's destructor of an unmapped library afterwards.
  ~HazardRegistry() {
    if (keyMade_) pthread_key_delete(key_);
    for (Hazards* h = head_.load(std::memory_order_acquire); h;) {
      Hazards* next = h->next;
      delete h;
      h = next;
    }
  }

  static void ReleaseRecord(void* record) {
    auto* h = static_cast<Hazards*>(record);
    h->depth = 0;
    h->owned.store(false, std::memory_order_release);
  }

  std::atomic<Hazards*> head_{nullptr};
  pthread_key_t key_{};
  const bool keyMade_;
};

}  // namespace

Hazards* handles::RegisterThisThread() { return HazardRegistry::Get().ForThisThread(); }

// The registry is made first so that it outlives the list.
THandleList::THandleList() { HazardRegistry::Get(); }

THandleList::~THandleList() {
  Clear();
  for (auto& chunk : chunks_) delete[] chunk.load(std::memory_order_relaxed);
}

intptr_t THandleList::Add(ITransEngine* engine, IEngineConfig* config) {
  // Asked before the lock: the query calls into the object.
  IntfPtr<IFieldTable> fields = engine ? QueryIntf<IFieldTable>(engine) : nullptr;
  Slot* slot;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    uint32_t index;
    if (!free_.empty()) {
      index = free_.back();
      free_.pop_back();
    } else {
      if (used_ == kMaxChunks * kChunkSize) return 0;
      index = used_++;
      auto& chunk = chunks_[index >> kChunkBits];
      if (!chunk.load(std::memory_order_relaxed)) chunk.store(new Slot[kChunkSize], std::memory_order_release);
    }
    slot = SlotAt(index);
    slot->index = index;
    slot->engine = engine;
    slot->config = config;
    slot->fields = std::move(fields);
    slot->finalize = true;
    slot->abandon = false;
  }
  // Publishing: a lookup that sees the slot in use also sees the objects written above.
  uint64_t state = slot->state.fetch_and(~kFree, std::memory_order_acq_rel) & ~kFree;
  live_.fetch_add(1, std::memory_order_relaxed);
  return static_cast<intptr_t>((Generation(state) << 32) | (slot->index + 1ull));
}

intptr_t THandleList::AddEngine(ITransEngine* engine) { return engine ? Add(engine, nullptr) : 0; }
intptr_t THandleList::AddConfig(IEngineConfig* config) { return config ? Add(nullptr, config) : 0; }

void THandleList::TryFinish(Slot* slot) {
  HazardRegistry& registry = HazardRegistry::Get();
  registry.WriterBarrier();
  bool inside = false;
  registry.ForEach([&](const Hazards& h) {
    for (const auto& s : h.slots)
      if (s.load(std::memory_order_acquire) == slot) inside = true;
  });
  // The last thread to leave finishes it.
  if (inside) return;
  uint64_t cur = slot->state.load(std::memory_order_acquire);
  while ((cur & kRetired) && !(cur & (kTaken | kFree))) {
    if (slot->state.compare_exchange_weak(cur, cur | kTaken, std::memory_order_acq_rel)) {
      Finish(slot);
      return;
    }
  }
}

void THandleList::Finish(Slot* slot) {
  if (slot->finalize) {
    try {
      if (slot->engine && slot->abandon) AbandonOrFina(*slot->engine);
      else if (slot->engine) slot->engine->Fina();
      else if (slot->config) slot->config->Fina();
    } catch (...) {
      // The object reported what failed through its sink; the handle ends all the same.
    }
  }
  IntfPtr<ITransEngine> engine;
  IntfPtr<IEngineConfig> config;
  IntfPtr<IFieldTable> fields;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    engine = std::move(slot->engine);
    config = std::move(slot->config);
    fields = std::move(slot->fields);
    const uint64_t next = ((Generation(slot->state.load(std::memory_order_relaxed)) + 1) << 32) | kFree;
    slot->state.store(next, std::memory_order_release);
    // A slot whose generations are used up is never handed out again.
    if (Generation(next) < kMaxGeneration) free_.push_back(slot->index);
  }
  live_.fetch_sub(1, std::memory_order_relaxed);
  // The references go outside the lock: releasing may run a destructor that calls back.
}

intptr_t THandleList::HandleOf(const ITransEngine* engine) const {
  if (!engine) return 0;
  std::lock_guard<std::mutex> lock(mutex_);
  for (uint32_t i = 0; i < used_; ++i) {
    Slot* slot = SlotAt(i);
    uint64_t state = slot->state.load(std::memory_order_acquire);
    if (!(state & (kFree | kRetired)) && slot->engine.get() == engine)
      return static_cast<intptr_t>((Generation(state) << 32) | (i + 1ull));
  }
  return 0;
}

bool THandleList::Retire(intptr_t handle, Kind kind, bool finalize) {
  Call call = Enter(handle, kind);
  if (!call) return false;
  uint64_t old = call.slot_->state.fetch_or(kRetired, std::memory_order_acq_rel);
  if (old & kRetired) return false;  // another thread ended it first
  // Nobody finishes the slot while this call is inside it.
  call.slot_->finalize = finalize;
  call.slot_->abandon = false;
  return true;
}

bool THandleList::RetireAbandoning(intptr_t handle) {
  Call call = Enter(handle, Kind::kEngine);
  if (!call) return false;
  uint64_t old = call.slot_->state.fetch_or(kRetired, std::memory_order_acq_rel);
  if (old & kRetired) return false;
  call.slot_->finalize = true;
  call.slot_->abandon = true;
  return true;
}

void THandleList::Clear() {
  // Whoever registered callbacks may be gone already (process exit, library unload).
  MuteHostCallbacks();
  uint32_t used;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    used = used_;
  }
  for (uint32_t i = 0; i < used; ++i) {
    Slot* slot = SlotAt(i);
    uint64_t state = slot->state.load(std::memory_order_acquire);
    if (state & (kFree | kRetired)) continue;
    auto handle = static_cast<intptr_t>((Generation(state) << 32) | (i + 1ull));
    if (!Retire(handle, Kind::kEngine, true)) Retire(handle, Kind::kConfig, true);
  }
}

}  // namespace ryn
