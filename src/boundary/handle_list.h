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

class THandleList {
  struct Slot;

 public:
  struct Hazards;  // a thread's announcements of the slots it is inside

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
  // The listed object behind a handle of that kind, with a reference held; null when the
  // value is no such handle.
  IntfPtr<ITransEngine> FindEngine(intptr_t handle);
  IntfPtr<IEngineConfig> FindConfig(intptr_t handle);
  // The first live handle under which engine is listed, 0 when none.
  intptr_t HandleOf(const ITransEngine* engine) const;

  // Ends the handle: lookups fail from now on, and once no call is inside it the object's
  // Fina runs (when finalize is set) and the reference goes. False when the handle was no
  // live handle of that kind.
  bool Retire(intptr_t handle, Kind kind, bool finalize);
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

// The library's list, created on first use; ending the library ends its handles.
THandleList& HandleList();

}  // namespace ryn
