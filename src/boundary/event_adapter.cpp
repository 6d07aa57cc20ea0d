#include "boundary/event_adapter.h"

#include <atomic>
#include <string>

namespace ryn {
namespace {
std::atomic<bool> muted{false};
}

void MuteHostCallbacks() { muted.store(true, std::memory_order_release); }

void TLibTransLogAdapter::OnMessage(int32_t kind, std::string_view text) {
  if (messageProc && !muted.load(std::memory_order_acquire)) messageProc(user, kind, std::string(text).c_str());
}

void TLibTransLogAdapter::OnStatus(std::string_view caption, std::string_view text) {
  if (statusProc && !muted.load(std::memory_order_acquire)) statusProc(user, std::string(caption).c_str(), std::string(text).c_str());
}

}  // namespace ryn
