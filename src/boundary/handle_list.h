// The live-handle list: every engine and wizard handed to a host as a handle, each entry
// holding one reference. A handle is a number that is never issued twice in a process
// (slot index and the slot's generation), so a released handle stays invalid for good
// and never reaches a newer object. A lookup reads its own slot whatever the number of
// live handles; only adding and freeing slots take a lock.
//
// Every exported call on a handle enters its slot for the duration of the call: the
// calling thread announces the slot in its own hazard record (a plain store, no locked
// instruction), then checks the slot. Ending a handle (Retire) makes further lookups fail
// at once; the object's Fina runs when no thread announces the slot any more (the ender
// makes every thread's announcements visible with a process-wide memory barrier). A call
// racing with the end of its handle therefore completes or answers its failure value,
// and never meets a half-closed engine; a callback may end the handle of the call it
// runs in (the engine closes when that call returns).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "transport/interfaces.h"

namespace ryn {

namespace handles {

// A slot's state word: generation in the high half, then the flags. The generation grows
// by one each time the slot is freed; a handle names a slot and the generation it was
// issued in.
constexpr uint64_t kFree = 1ull << 31;     // no object in the slot
constexpr uint64_t kRetired = 1ull << 30;  // handle ended, object not yet finished
constexpr uint64_t kTaken = 1ull << 29;    // a thread is finishing the object
constexpr uint64_t kMaxGeneration = 1ull << 31;  // keeps handles positive
constexpr int kMaxDepth = 16;

constexpr uint64_t Generation(uint64_t state) { return state >> 32; }

// A thread's announcements of the slots it is inside, innermost last.
struct Hazards {
  std::atomic<const void*> slots[kMaxDepth] = {};
  int depth = 0;                  // touched by the owning thread only
  std::atomic<bool> owned{true};  // false once the thread has ended
  Hazards* next = nullptr;        // fixed once the record is published
};

// The calling thread's record, null until it first enters a slot. The dynamic TLS model
// (not initial-exec): a library loaded at run time must never fail for want of static
// TLS space in its host.
extern thread_local Hazards* tThreadHazards;
// Registers a record for the calling thread.
Hazards* RegisterThisThread();
// Whether the kernel's process-wide barrier serves the enders; decided before the first
// handle is issued and never changed (the announcing side then needs no fence).
extern bool gMembarrier;

// Between an announcement (or its withdrawal) and the check of the slot that follows.
inline void ReaderFence() {
  if (gMembarrier) std::atomic_signal_fence(std::memory_order_seq_cst);
  else std::atomic_thread_fence(std::memory_order_seq_cst);
}

}  // namespace handles

class THandleList {
  struct Slot;

 public:
  using Hazards = handles::Hazards;

  enum class Kind : uint8_t { kEngine, kConfig };

  // One call inside a slot. Evaluates to false when the handle was no live handle of the
  // kind asked for; the object pointers stay valid until the call is destroyed.
  class Call {
   public:
    Call() = default;
    Call(Call&& other) noexcept : list_(other.list_), slot_(other.slot_), hazards_(other.hazards_), depth_(other.depth_) {
      other.slot_ = nullptr;
    }
    Call& operator=(Call&&) = delete;
    ~Call() {
      if (slot_) list_->Leave(slot_, hazards_, depth_);
    }
    explicit operator bool() const { return slot_ != nullptr; }
    ITransEngine* Engine() const;
    IEngineConfig* Config() const;
    // The engine's uncounted field table, null when the engine has none.
    IFieldTable* Fields() const;

   private:
    friend class THandleList;
    Call(THandleList* list, Slot* slot, Hazards* hazards, int depth)
        : list_(list), slot_(slot), hazards_(hazards), depth_(depth) {}
    THandleList* list_ = nullptr;
    Slot* slot_ = nullptr;
    Hazards* hazards_ = nullptr;
    int depth_ = 0;
  };

  THandleList();
  // Ends every live handle without calling any host back (library unload, process exit).
  ~THandleList();
  THandleList(const THandleList&) = delete;
  THandleList& operator=(const THandleList&) = delete;

  // Lists the object (one reference held) and answers its new handle; 0 when the list is
  // full. Adding one object twice gives two independent handles.
  intptr_t AddEngine(ITransEngine* engine);
  intptr_t AddConfig(IEngineConfig* config);

  // Enters the handle's slot for the life of the returned call. Calls nest up to 16 deep
  // on one thread (callbacks calling back in); deeper ones are refused.
  Call Enter(intptr_t handle, Kind kind);
  // The first live handle under which engine is listed, 0 when none.
  intptr_t HandleOf(const ITransEngine* engine) const;

  // Ends the handle: lookups fail from now on, and once no call is inside it the object's
  // Fina runs (when finalize is set) and the reference goes. False when the handle was no
  // live handle of that kind.
  bool Retire(intptr_t handle, Kind kind, bool finalize);
  // Ends an engine's handle like Retire with finalize, but the engine is abandoned (its
  // Abandon where it has one, else its Fina): a run that failed keeps nothing.
  bool RetireAbandoning(intptr_t handle);
  // Ends the handle without the object's Fina (a wizard delisting its working engine).
  bool Remove(intptr_t handle) {
    return Retire(handle, Kind::kEngine, false) || Retire(handle, Kind::kConfig, false);
  }
  // Live handles.
  size_t Count() const { return live_.load(std::memory_order_relaxed); }
  // Ends every handle, calling each object's Fina with host callbacks muted.
  void Clear();

 private:
  static constexpr uint32_t kChunkBits = 10;
  static constexpr uint32_t kChunkSize = 1u << kChunkBits;
  static constexpr uint32_t kMaxChunks = 1u << 14;  // 16 M slots

  void Leave(Slot* slot, Hazards* hazards, int depth);
  // Finishes a retired slot unless some thread still announces it.
  void TryFinish(Slot* slot);
  void Finish(Slot* slot);
  Slot* SlotAt(uint32_t index) const;
  intptr_t Add(ITransEngine* engine, IEngineConfig* config);

  std::atomic<Slot*> chunks_[kMaxChunks] = {};
  mutable std::mutex mutex_;  // slot allocation, freeing and the search of HandleOf
  std::vector<uint32_t> free_;
  uint32_t used_ = 0;  // slots ever handed out
  std::atomic<size_t> live_{0};
};

struct THandleList::Slot {
  std::atomic<uint64_t> state{(1ull << 32) | handles::kFree};
  IntfPtr<ITransEngine> engine;
  IntfPtr<IEngineConfig> config;
  IntfPtr<IFieldTable> fields;
  uint32_t index = 0;
  bool finalize = true;
  bool abandon = false;  // with finalize: the engine ends by AbandonOrFina
};

inline THandleList::Slot* THandleList::SlotAt(uint32_t index) const {
  if (index >= kMaxChunks * kChunkSize) return nullptr;
  Slot* chunk = chunks_[index >> kChunkBits].load(std::memory_order_acquire);
  return chunk ? &chunk[index & (kChunkSize - 1)] : nullptr;
}

inline ITransEngine* THandleList::Call::Engine() const { return slot_->engine.get(); }
inline IEngineConfig* THandleList::Call::Config() const { return slot_->config.get(); }
inline IFieldTable* THandleList::Call::Fields() const { return slot_->fields.get(); }

// Every exported call goes through these two: kept inline so that a call costs a few
// plain loads and stores.
inline THandleList::Call THandleList::Enter(intptr_t handle, Kind kind) {
  using namespace handles;
  const auto h = static_cast<uint64_t>(handle);
  const uint64_t generation = Generation(h);
  const auto low = static_cast<uint32_t>(h);
  if (low == 0 || generation == 0 || generation >= kMaxGeneration) return {};
  Slot* slot = SlotAt(low - 1);
  if (!slot) return {};
  Hazards* hazards = tThreadHazards;
  if (!hazards) [[unlikely]]
    hazards = RegisterThisThread();
  const int depth = hazards->depth;
  if (depth >= kMaxDepth) return {};
  // Announce first, check second: whoever ends the handle after our check sees us.
  hazards->slots[depth].store(slot, std::memory_order_relaxed);
  hazards->depth = depth + 1;
  ReaderFence();
  const uint64_t state = slot->state.load(std::memory_order_acquire);
  Call call(this, slot, hazards, depth);  // leaves again on every failure below
  if (Generation(state) != generation || (state & (kFree | kRetired))) return {};
  if (kind == Kind::kEngine ? !slot->engine : !slot->config) return {};
  return call;
}

inline void THandleList::Leave(Slot* slot, Hazards* hazards, int depth) {
  using namespace handles;
  hazards->slots[depth].store(nullptr, std::memory_order_release);
  hazards->depth = depth;
  ReaderFence();
  const uint64_t state = slot->state.load(std::memory_order_acquire);
  if ((state & kRetired) && !(state & (kTaken | kFree))) [[unlikely]]
    TryFinish(slot);
}

// The library's list, created on first use; ending the library ends its handles.
inline THandleList& HandleList() {
  static THandleList list;
  return list;
}

}  // namespace ryn
