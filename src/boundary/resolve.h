// Turning a host's (handle, index) back into objects. A call enters the handle's slot for
// its duration (so the object stays alive and is not finished under it); the per-value
// path then reaches the field through the engine's uncounted field table, counting no
// reference per value.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "boundary/handle_list.h"
#include "transport/interfaces.h"

namespace ryn {

using HandleCall = THandleList::Call;

inline HandleCall EnterEngine(intptr_t handle) { return HandleList().Enter(handle, THandleList::Kind::kEngine); }
inline HandleCall EnterConfig(intptr_t handle) { return HandleList().Enter(handle, THandleList::Kind::kConfig); }

// The engine's port queried for PortIntf; null when it has no such port.
template <class PortIntf>
IntfPtr<PortIntf> PortOf(const HandleCall& call) {
  if (IFieldTable* table = call.Fields()) {
    if constexpr (std::is_same_v<PortIntf, IImport>) return IntfPtr<IImport>(table->SourcePort());
    if constexpr (std::is_same_v<PortIntf, IExport>) return IntfPtr<IExport>(table->DestinationPort());
  }
  IntfPtr<ITransPort> port = call.Engine()->GetPort();
  if constexpr (std::is_same_v<PortIntf, ITransPort>) {
    return port;
  } else {
    return port.Query<PortIntf>();
  }
}

// The borrowed source or destination port of the call's engine for the record operations
// (no reference counted); hold keeps the port of an engine without a field table.
template <class PortIntf>
PortIntf* RecordPort(const HandleCall& call, IntfPtr<PortIntf>& hold) {
  if (IFieldTable* table = call.Fields()) {
    if constexpr (std::is_same_v<PortIntf, IImport>) {
      return table->SourcePort();
    } else {
      return table->DestinationPort();
    }
  }
  hold = PortOf<PortIntf>(call);
  return hold.get();
}

// The field at index of a source (IFieldReader) or destination (IFieldWriter) port,
// borrowed from the engine's field table; engines without one are asked through their
// port, and hold keeps that field's reference for the caller.
template <class FieldIntf>
FieldIntf* FieldOf(const HandleCall& call, int32_t index, IntfPtr<FieldIntf>& hold) {
  if (IFieldTable* table = call.Fields()) {
    if constexpr (std::is_same_v<FieldIntf, IFieldReader>) {
      return table->ReaderAt(index);
    } else {
      return table->WriterAt(index);
    }
  }
  using PortIntf = std::conditional_t<std::is_same_v<FieldIntf, IFieldReader>, IImport, IExport>;
  IntfPtr<PortIntf> port = PortOf<PortIntf>(call);
  if (!port) return nullptr;
  hold = port->GetField(index).template Query<FieldIntf>();
  return hold.get();
}

// The buffer protocol: copy when the buffer is there and large enough (-1), otherwise
// only tell the length (0). No terminating zero is written.
template <class Char>
int32_t PutBuffer(std::basic_string_view<Char> text, Char* buffer, int32_t* length) {
  if (!length || text.size() > static_cast<size_t>(INT32_MAX)) return 0;
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
