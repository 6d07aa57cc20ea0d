// An event sink that hears everything and keeps nothing, for targets that drive engines.
#pragma once

#include "transport/interfaces.h"
#include "transport/object.h"

namespace ryn::fuzz {

class QuietEvents final : public TInterfacedObject, public virtual ITransEvents {
 public:
  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<ITransEvents>(this, iid, obj); }
  void OnMessage(int32_t, std::string_view) override {}
  void OnStatus(std::string_view, std::string_view) override {}
  void OnProgress(uint8_t, int32_t, bool&) override {}
};

}  // namespace ryn::fuzz
