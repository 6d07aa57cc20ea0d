// The live-handle list: every engine and wizard handed to a host as a handle, each entry
// holding one reference. A handle is a number that is never issued twice while the
// library is loaded (slot index and the slot's generation), so a released handle stays
// invalid for good and never reaches a newer object; a per-load epoch in the number makes
// a handle kept across an unload and reload fail as well. A lookup reads its own slot
// whatever the number of live handles; only adding and freeing slots take a lock.
//
// Every exported call on a handle enters its slot for the duration of the call: one
// compare-and-swap on the slot's state word adds one to the slot's count of calls inside,
// and only while the word still holds the handle's generation and the handle has not
// ended. Generation, ended bit and count live in that one word, so no check can pass for
// a generation that has since come and gone. Ending a handle (Retire) sets the ended bit:
// further lookups fail at once, and the call that takes the count of an ended slot to
// zero finishes the object. A call racing with the end of its handle therefore completes
// or answers its failure value, and never meets a half-closed engine; a callback may end
// the handle of the call it runs in (the engine closes when that call returns). No state
// is kept per thread, so threads may start, end, fork and nest calls freely.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "boundary/handle_layout.h"
#include "transport/interfaces.h"

namespace ryn {

namespace handles {

// A slot's state word: generation in the high half, then the flags, then the count of
// calls inside. The generation grows by one each time the slot is freed.
constexpr uint64_t kFree = 1ull << 31;     // no object in the slot
constexpr uint64_t kRetired = 1ull << 30;  // handle ended; finished when the count is zero
constexpr uint64_t kCountMask = kRetired - 1;
constexpr uint64_t Generation(uint64_t state) { return state >> 32; }

constexpr uint64_t kIndexMask = Native::kIndexMask;
constexpr uint64_t kEpochMask = Native::kEpochMask;
constexpr uint64_t kMaxGeneration = Native::kMaxGeneration;

constexpr intptr_t MakeHandle(uint64_t generation, uint64_t epoch, uint32_t index) {
  return static_cast<intptr_t>(Native::Encode(generation, epoch, index));
}

}  // namespace handles

class THandleList {
  struct Slot;

 public:
  enum class Kind : uint8_t { kEngine, kConfig };

  // One call inside a slot. Evaluates to false when the handle was no live handle of the
  // kind asked for; the object pointers stay valid until the call is destroyed.
  class Call {
   public:
    Call() = default;
    Call(Call&& other) noexcept : list_(other.list_), slot_(other.slot_) { other.slot_ = nullptr; }
    Call& operator=(Call&&) = delete;
    ~Call() {
      if (slot_) list_->Leave(slot_);
    }
    explicit operator bool() const { return slot_ != nullptr; }
    ITransEngine* Engine() const;
    IEngineConfig* Config() const;
    // The engine's uncounted field table, null when the engine has none.
    IFieldTable* Fields() const;
    // The engine's record texts and record problems, null when it has none; asked once
    // when it was listed, as they are used once per record.
    IRecordTexts* RecordTexts() const;
    IRecordProblems* RecordProblems() const;
    IRecordPost* RecordPost() const;

   private:
    friend class THandleList;
    Call(THandleList* list, Slot* slot) : list_(list), slot_(slot) {}
    THandleList* list_ = nullptr;
    Slot* slot_ = nullptr;
  };

  // How Retire treats the object once no call is inside it.
  enum class End : uint8_t {
    kKeep,     // only the handle ends (a wizard delisting its working engine)
    kFina,     // the object's Fina
    kAbandon,  // the engine's Abandon where it has one, else its Fina
  };

  // epoch: mixed into every handle (the low 15 bits count).
  explicit THandleList(uint32_t epoch);
  THandleList(const THandleList&) = delete;
  THandleList& operator=(const THandleList&) = delete;
  ~THandleList();

  // Lists the object (one reference held) and answers its new handle; 0 when the list is
  // full or shutting down. Adding one object twice gives two independent handles.
  intptr_t AddEngine(ITransEngine* engine);
  intptr_t AddConfig(IEngineConfig* config);

  // Enters the handle's slot for the life of the returned call. Calls nest without limit.
  Call Enter(intptr_t handle, Kind kind);
  // The first live handle under which engine is listed, 0 when none.
  intptr_t HandleOf(const ITransEngine* engine) const;

  // Ends the handle: lookups fail from now on, and once no call is inside it the object
  // is ended as end says and the reference goes. With wait set, returns only once that
  // has happened (the caller must not itself be inside the handle). False when the
  // handle was no live handle of that kind, or another thread ended it first.
  bool Retire(intptr_t handle, Kind kind, End end, bool wait = false);
  // Ends the handle without the object's Fina.
  bool Remove(intptr_t handle) {
    return Retire(handle, Kind::kEngine, End::kKeep) || Retire(handle, Kind::kConfig, End::kKeep);
  }
  // Live handles.
  size_t Count() const { return live_.load(std::memory_order_relaxed); }
  uint32_t Epoch() const { return static_cast<uint32_t>(epoch_); }

  // Library unload or process exit: finishes every handle no call is inside, with host
  // callbacks muted, and refuses new ones. A handle some thread is still inside is left
  // to the process's end, never freed under that thread. True when none was busy.
  bool Shutdown();

 private:
  static constexpr uint32_t kChunkBits = 10;
  static constexpr uint32_t kChunkSize = 1u << kChunkBits;
  static constexpr uint32_t kMaxChunks = static_cast<uint32_t>((handles::kIndexMask + 1) >> kChunkBits);
  static constexpr uint32_t kMaxSlots = static_cast<uint32_t>(handles::kIndexMask);  // index + 1 fits

  void Leave(Slot* slot);
  void Finish(Slot* slot);
  Slot* SlotAt(uint32_t index) const;
  intptr_t Add(ITransEngine* engine, IEngineConfig* config);

  const uint64_t epoch_;
  std::atomic<Slot*> chunks_[kMaxChunks] = {};
  mutable std::mutex mutex_;  // slot allocation, freeing and the search of HandleOf
  std::condition_variable finished_;  // a slot was freed (waiters of Retire)
  std::vector<uint32_t> free_;
  uint32_t used_ = 0;  // slots ever handed out
  bool closed_ = false;
  std::atomic<bool> shuttingDown_{false};
  std::atomic<size_t> live_{0};
};

// Padded to a cache line: threads working on different handles never share one.
struct alignas(64) THandleList::Slot {
  std::atomic<uint64_t> state{(1ull << 32) | handles::kFree};
  IntfPtr<ITransEngine> engine;
  IntfPtr<IEngineConfig> config;
  IntfPtr<IFieldTable> fields;
  IntfPtr<IRecordTexts> recordTexts;
  IntfPtr<IRecordProblems> recordProblems;
  IntfPtr<IRecordPost> recordPost;
  uint32_t index = 0;
  End end = End::kFina;  // written by the thread that ended the handle, before it left
};

inline THandleList::Slot* THandleList::SlotAt(uint32_t index) const {
  if (index >= kMaxSlots) return nullptr;
  Slot* chunk = chunks_[index >> kChunkBits].load(std::memory_order_acquire);
  return chunk ? &chunk[index & (kChunkSize - 1)] : nullptr;
}

inline ITransEngine* THandleList::Call::Engine() const { return slot_->engine.get(); }
inline IEngineConfig* THandleList::Call::Config() const { return slot_->config.get(); }
inline IFieldTable* THandleList::Call::Fields() const { return slot_->fields.get(); }
inline IRecordTexts* THandleList::Call::RecordTexts() const { return slot_->recordTexts.get(); }
inline IRecordProblems* THandleList::Call::RecordProblems() const { return slot_->recordProblems.get(); }
inline IRecordPost* THandleList::Call::RecordPost() const { return slot_->recordPost.get(); }

// Every exported call goes through these two: kept inline so that a call costs one
// locked instruction on the way in and one on the way out.
inline THandleList::Call THandleList::Enter(intptr_t handle, Kind kind) {
  using namespace handles;
  // Through the unsigned type of the same width: a negative value must not sign-extend.
  const auto h = static_cast<uint64_t>(static_cast<uintptr_t>(handle));
  if (Native::Epoch(h) != epoch_) return {};
  const uint64_t generation = Native::Generation(h);
  const auto low = Native::IndexPlusOne(h);
  if (low == 0 || generation == 0 || generation >= kMaxGeneration) return {};
  Slot* slot = SlotAt(low - 1);
  if (!slot) return {};
  uint64_t state = slot->state.load(std::memory_order_relaxed);
  do {
    if (Generation(state) != generation || (state & (kFree | kRetired)) || (state & kCountMask) == kCountMask)
      return {};
  } while (!slot->state.compare_exchange_weak(state, state + 1, std::memory_order_acquire, std::memory_order_relaxed));
  Call call(this, slot);  // leaves again when the kind does not match
  if (kind == Kind::kEngine ? !slot->engine : !slot->config) return {};
  return call;
}

inline void THandleList::Leave(Slot* slot) {
  using namespace handles;
  // Release: the call's work happens before the object is finished; acquire: the thread
  // that finishes it sees every other call's work.
  const uint64_t old = slot->state.fetch_sub(1, std::memory_order_acq_rel);
  if ((old & (kRetired | kCountMask)) == (kRetired | 1)) [[unlikely]]
    Finish(slot);
}

// A fresh epoch for a load of the library.
uint32_t NewHandleEpoch();

// Owns the library's list: at unload or exit it shuts the list down, and frees it only
// when no call was running in it (otherwise the memory stays for the threads inside).
struct THandleListOwner {
  THandleList* list = new THandleList(NewHandleEpoch());
  ~THandleListOwner() {
    if (list->Shutdown()) delete list;
  }
};

// The library's list, created on first use.
inline THandleList& HandleList() {
  static THandleListOwner owner;
  return *owner.list;
}

}  // namespace ryn
