#include "libengineport/lib_event_links.h"

#include <mutex>
#include <unordered_map>
#include <utility>

namespace ryn::lib {
namespace {

struct Links {
  std::mutex mutex;
  std::unordered_map<intptr_t, IntfPtr<ITransEvents>> sinks;
  intptr_t last = 0;
};

// Never destroyed: a proxy that a static object holds may end after static destruction.
Links& TheLinks() {
  static Links* links = new Links;
  return *links;
}

}  // namespace

intptr_t AddEventLink(ITransEvents* sink) {
  Links& l = TheLinks();
  std::lock_guard<std::mutex> lock(l.mutex);
  const intptr_t link = ++l.last;
  l.sinks.emplace(link, sink);
  return link;
}

void SetEventLink(intptr_t link, ITransEvents* sink) {
  IntfPtr<ITransEvents> old(sink);
  Links& l = TheLinks();
  {
    std::lock_guard<std::mutex> lock(l.mutex);
    auto it = l.sinks.find(link);
    if (it != l.sinks.end()) std::swap(it->second, old);
  }
  // The sink replaced goes outside the lock: its destructor may call back into a proxy.
}

void RemoveEventLink(intptr_t link) {
  IntfPtr<ITransEvents> old;
  Links& l = TheLinks();
  std::lock_guard<std::mutex> lock(l.mutex);
  auto it = l.sinks.find(link);
  if (it == l.sinks.end()) return;
  old = std::move(it->second);
  l.sinks.erase(it);
  // The lock is let go before old is released (declared before the guard).
}

IntfPtr<ITransEvents> EventSink(intptr_t link) {
  Links& l = TheLinks();
  std::lock_guard<std::mutex> lock(l.mutex);
  auto it = l.sinks.find(link);
  return it == l.sinks.end() ? nullptr : it->second;
}

}  // namespace ryn::lib
