#include "boundary/event_adapter.h"

#include <atomic>
#include <string>

namespace ryn {
namespace {
std::atomic<bool> muted{false};

// Trivially destructible, so that the library never keeps a thread's exit waiting on it.
thread_local int tCallbackDepth = 0;

// Counts the callback for its duration, also when the host ends its thread inside it.
struct InCallback {
  InCallback() { ++tCallbackDepth; }
  ~InCallback() { --tCallbackDepth; }
  InCallback(const InCallback&) = delete;
  InCallback& operator=(const InCallback&) = delete;
};

}  // namespace

void MuteHostCallbacks() { muted.store(true, std::memory_order_release); }

bool InsideHostCallback() { return tCallbackDepth > 0; }

void TLibTransLogAdapter::OnMessage(int32_t kind, std::string_view text) {
  if (!messageProc_ || muted.load(std::memory_order_acquire)) return;
  const std::string zeroEnded(text);
  InCallback counted;
  messageProc_(user_, kind, zeroEnded.c_str());
}

void TLibTransLogAdapter::OnStatus(std::string_view caption, std::string_view text) {
  if (!statusProc_ || muted.load(std::memory_order_acquire)) return;
  const std::string c(caption), t(text);
  InCallback counted;
  statusProc_(user_, c.c_str(), t.c_str());
}

}  // namespace ryn
