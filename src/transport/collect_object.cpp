#include "transport/collect_object.h"

namespace ryn {

TCollectObject::~TCollectObject() {
  IInterface* owner = owner_;
  owner_ = nullptr;
  if (!owner) return;
  // References still held on this object are dead now; give their owner references back.
  for (int32_t n = forwarded_.exchange(0); n > 0; --n) owner->Release();
}

int32_t TCollectObject::AddRef() {
  if (!owner_) return 0;
  forwarded_.fetch_add(1, std::memory_order_relaxed);
  return owner_->AddRef();
}

int32_t TCollectObject::Release() {
  if (!owner_) return 0;
  forwarded_.fetch_sub(1, std::memory_order_acq_rel);
  return owner_->Release();
}

}  // namespace ryn
