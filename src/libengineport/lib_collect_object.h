// The aggregated objects of the proxies (ports and fields): while anybody holds one, it
// holds exactly one reference on its owner, instead of passing every reference on.
// A value read takes and drops field references a few times; passing each one through
// port and engine made those interlocked counts the largest cost of a read.
#pragma once

#include <atomic>
#include <cstdint>

#include "transport/collect_object.h"

namespace ryn {

class TLibCollectObject : public TCollectObject {
 public:
  using TCollectObject::TCollectObject;
  ~TLibCollectObject() override;

  // Without an owner both return 0 and change nothing, as for any aggregated object;
  // otherwise they return the object's own count.
  int32_t AddRef() override;
  int32_t Release() override;

  // Outstanding references on the object.
  bool Held() const { return refs_.load(std::memory_order_acquire) > 0; }

 private:
  std::atomic<int32_t> refs_{0};
};

}  // namespace ryn
