// The user values the proxies give other libraries for their callbacks. A library may
// call back after the proxy it was registered for has gone (a close it deferred until the
// call it was inside returned, or a library that keeps callbacks past EngineFina), so the
// value is a number looked up here, never an address: a late callback finds no sink and
// is dropped. Numbers are never reused.
#pragma once

#include <cstdint>

#include "transport/interfaces.h"

namespace ryn::lib {

// A new link to sink (may be null); its number is never 0.
intptr_t AddEventLink(ITransEvents* sink);
void SetEventLink(intptr_t link, ITransEvents* sink);
void RemoveEventLink(intptr_t link);
// The sink of a live link, counted for the caller; null for a link removed or never made.
IntfPtr<ITransEvents> EventSink(intptr_t link);

}  // namespace ryn::lib
