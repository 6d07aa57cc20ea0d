// TLibTransLogAdapter relays an engine's events to the callbacks a host registered with
// EngineSetEvent: messages and status lines; progress is not relayed.
#pragma once

#include <cstdint>

#include "rynfiler.h"
#include "transport/interfaces.h"
#include "transport/object.h"

namespace ryn {

// From now on no adapter of this library calls a host back: the library is being
// unloaded or the process is ending, and the callbacks' owners may be gone.
void MuteHostCallbacks();

// Whether the calling thread is inside a host callback of this library: a call it makes
// now may come from inside a call on the very handle it names, so it must not wait for
// that handle's calls to return.
bool InsideHostCallback();

class TLibTransLogAdapter final : public TInterfacedObject,
                                  public virtual ITransEvents,
                                  public virtual IImplementorAccess {
 public:
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<ITransEvents, IImplementorAccess>(this, iid, obj);
  }
  void OnMessage(int32_t kind, std::string_view text) override;
  void OnStatus(std::string_view caption, std::string_view text) override;
  void OnProgress(uint8_t, int32_t, bool&) override {}
  TObject* GetImplementor() override { return this; }

  // The host's callbacks and the value handed back to them; null calls nothing.
  void SetUser(intptr_t user) { user_ = user; }
  void SetMessageProc(RynMessageProc proc) { messageProc_ = proc; }
  void SetStatusProc(RynStatusProc proc) { statusProc_ = proc; }

 private:
  RynStatusProc statusProc_ = nullptr;
  RynMessageProc messageProc_ = nullptr;
  intptr_t user_ = 0;
};

}  // namespace ryn
