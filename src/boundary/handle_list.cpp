#include "boundary/handle_list.h"

#include <chrono>

#include "boundary/event_adapter.h"
#include "boundary/firewall.h"
#include "platform/system_random.h"

namespace ryn {

using namespace handles;

uint32_t NewHandleEpoch() {
  uint32_t random = 0;
  if (!SystemRandom(random)) random = 0;
  // Without the kernel's randomness the clock still tells two loads apart.
  const auto now = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  return static_cast<uint32_t>((random ^ now ^ (now >> 15)) & kEpochMask);
}

THandleList::THandleList(uint32_t epoch) : epoch_(epoch & kEpochMask) {}

THandleList::~THandleList() {
  for (auto& chunk : chunks_) delete[] chunk.load(std::memory_order_relaxed);
}

intptr_t THandleList::Add(ITransEngine* engine, IEngineConfig* config) {
  // Asked before the lock: the query calls into the object.
  IntfPtr<IFieldTable> fields = engine ? QueryIntf<IFieldTable>(engine) : nullptr;
  IntfPtr<IRecordTexts> recordTexts = engine ? QueryIntf<IRecordTexts>(engine) : nullptr;
  IntfPtr<IRecordProblems> recordProblems = engine ? QueryIntf<IRecordProblems>(engine) : nullptr;
  IntfPtr<IRecordPost> recordPost = engine ? QueryIntf<IRecordPost>(engine) : nullptr;
  Slot* slot;
  uint64_t state;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return 0;
    uint32_t index;
    if (!free_.empty()) {
      index = free_.back();
      free_.pop_back();
    } else {
      if (used_ == kMaxSlots) return 0;
      index = used_++;
      auto& chunk = chunks_[index >> kChunkBits];
      if (!chunk.load(std::memory_order_relaxed)) chunk.store(new Slot[kChunkSize], std::memory_order_release);
    }
    slot = SlotAt(index);
    slot->index = index;
    slot->engine = engine;
    slot->config = config;
    slot->fields = std::move(fields);
    slot->recordTexts = std::move(recordTexts);
    slot->recordProblems = std::move(recordProblems);
    slot->recordPost = std::move(recordPost);
    slot->end = End::kFina;
    // Publishing: a call that sees the slot in use also sees the objects written above.
    // Only the list writes a free slot's word, so a plain store does.
    state = slot->state.load(std::memory_order_relaxed) & ~(kFree | kRetired | kCountMask);
    slot->state.store(state, std::memory_order_release);
  }
  live_.fetch_add(1, std::memory_order_relaxed);
  return MakeHandle(Generation(state), epoch_, slot->index);
}

intptr_t THandleList::AddEngine(ITransEngine* engine) { return engine ? Add(engine, nullptr) : 0; }
intptr_t THandleList::AddConfig(IEngineConfig* config) { return config ? Add(nullptr, config) : 0; }

void THandleList::Finish(Slot* slot) {
  // After shutdown a handle still busy then is left to the process's end: what it would
  // call at its close may be gone already.
  if (shuttingDown_.load(std::memory_order_acquire)) return;
  // The slot is freed whatever the object does, also when its thread ends inside a host
  // callback the close made (a forced unwind passes through here).
  struct Free {
    THandleList* list;
    Slot* slot;
    ~Free() {
      IntfPtr<ITransEngine> engine;
      IntfPtr<IEngineConfig> config;
      IntfPtr<IFieldTable> fields;
      IntfPtr<IRecordTexts> recordTexts;
      IntfPtr<IRecordProblems> recordProblems;
      IntfPtr<IRecordPost> recordPost;
      {
        std::lock_guard<std::mutex> lock(list->mutex_);
        engine = std::move(slot->engine);
        config = std::move(slot->config);
        fields = std::move(slot->fields);
        recordTexts = std::move(slot->recordTexts);
        recordProblems = std::move(slot->recordProblems);
        recordPost = std::move(slot->recordPost);
        const uint64_t next = Generation(slot->state.load(std::memory_order_relaxed)) + 1;
        slot->state.store((next << 32) | kFree, std::memory_order_release);
        // A slot whose generations are used up is never handed out again.
        if (next < kMaxGeneration && !list->closed_) list->free_.push_back(slot->index);
        // Under the lock: once it is let go, a shutdown may free the list.
        list->live_.fetch_sub(1, std::memory_order_relaxed);
        list->finished_.notify_all();
      }
      // The references go outside the lock: releasing may run a destructor that calls back.
    }
  } free{this, slot};
  try {
    if (slot->end == End::kAbandon && slot->engine) AbandonOrFina(*slot->engine);
    else if (slot->end == End::kFina && slot->engine) slot->engine->Fina();
    else if (slot->end == End::kFina && slot->config) slot->config->Fina();
  } catch (...) {
    if (ForeignException()) throw;
    // The object reported what failed through its sink; the handle ends all the same.
  }
}

intptr_t THandleList::HandleOf(const ITransEngine* engine) const {
  if (!engine) return 0;
  std::lock_guard<std::mutex> lock(mutex_);
  for (uint32_t i = 0; i < used_; ++i) {
    Slot* slot = SlotAt(i);
    uint64_t state = slot->state.load(std::memory_order_acquire);
    if (!(state & (kFree | kRetired)) && slot->engine.get() == engine) return MakeHandle(Generation(state), epoch_, i);
  }
  return 0;
}

bool THandleList::Retire(intptr_t handle, Kind kind, End end, bool wait) {
  Slot* slot;
  uint64_t generation;
  {
    Call call = Enter(handle, kind);
    if (!call) return false;
    slot = call.slot_;
    uint64_t state = slot->state.load(std::memory_order_relaxed);
    do {
      if (state & kRetired) return false;  // another thread ended it first
    } while (!slot->state.compare_exchange_weak(state, state | kRetired, std::memory_order_relaxed));
    generation = Generation(state);
    // Nobody finishes the slot while this call is inside it; leaving publishes this.
    slot->end = end;
  }
  if (wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [&] {
      return closed_ || Generation(slot->state.load(std::memory_order_acquire)) != generation;
    });
  }
  return true;
}

bool THandleList::Shutdown() {
  // Whoever registered callbacks may be gone already (process exit, library unload).
  MuteHostCallbacks();
  uint32_t used;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    used = used_;
  }
  finished_.notify_all();
  // Claims every idle slot at once, so that no call can enter it any more.
  std::vector<Slot*> idle;
  bool busy = false;
  for (uint32_t i = 0; i < used; ++i) {
    Slot* slot = SlotAt(i);
    uint64_t state = slot->state.load(std::memory_order_acquire);
    while (!(state & (kFree | kRetired | kCountMask))) {
      if (slot->state.compare_exchange_weak(state, state | kRetired, std::memory_order_acquire)) {
        slot->end = End::kFina;
        idle.push_back(slot);
        break;
      }
    }
    if (!(state & kFree) && (state & (kRetired | kCountMask))) busy = true;
  }
  for (Slot* slot : idle) Finish(slot);
  shuttingDown_.store(true, std::memory_order_release);
  // A close another thread was completing when the slot was read has let the lock go.
  std::lock_guard<std::mutex> lock(mutex_);
  return !busy;
}

}  // namespace ryn
