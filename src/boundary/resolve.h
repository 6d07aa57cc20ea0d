// Turning a host's (handle, index) back into objects. Every call resolves afresh and holds
// its references for the duration of the call only.
#pragma once

#include <cstring>
#include <string_view>

#include "boundary/handle_list.h"
#include "transport/interfaces.h"

namespace ryn {

inline IntfPtr<ITransEngine> ResolveEngine(intptr_t handle) { return HandleList().FindEngine(handle); }

template <class PortIntf>
IntfPtr<PortIntf> ResolvePort(intptr_t handle) {
  IntfPtr<ITransEngine> engine = ResolveEngine(handle);
  if (!engine) return nullptr;
  IntfPtr<ITransPort> port = engine->GetPort();
  if constexpr (std::is_same_v<PortIntf, ITransPort>) {
    return port;
  } else {
    return port.Query<PortIntf>();
  }
}

// The field at index of a source (IFieldReader) or destination (IFieldWriter) port.
template <class FieldIntf>
IntfPtr<FieldIntf> ResolveField(intptr_t handle, int32_t index) {
  using PortIntf = std::conditional_t<std::is_same_v<FieldIntf, IFieldReader>, IImport, IExport>;
  IntfPtr<PortIntf> port = ResolvePort<PortIntf>(handle);
  if (!port) return nullptr;
  return port->GetField(index).template Query<FieldIntf>();
}

// The buffer protocol: copy when the buffer is there and large enough (-1), otherwise
// only tell the length (0). No terminating zero is written.
template <class Char>
int32_t PutBuffer(std::basic_string_view<Char> text, Char* buffer, int32_t* length) {
  if (!length) return 0;
  const auto n = static_cast<int32_t>(text.size());
  if (buffer && *length >= n) {
    *length = n;
    if (n > 0) std::memcpy(buffer, text.data(), static_cast<size_t>(n) * sizeof(Char));
    return -1;
  }
  *length = n;
  return 0;
}

}  // namespace ryn
