// Aggregated objects: ports and fields whose lifetime follows their owner. Every reference
// taken on the aggregate is a reference on the owner; the owner creates and destroys it.
#pragma once

#include <atomic>
#include <cstdint>

#include "transport/object.h"

namespace ryn {

class TCollectObject : public TObject, public virtual IInterface {
 public:
  // The owner is stored without a reference; null makes a free-standing object that
  // reference counting never destroys.
  explicit TCollectObject(IInterface* owner) : owner_(owner) {}
  ~TCollectObject() override;
  TCollectObject(const TCollectObject&) = delete;
  TCollectObject& operator=(const TCollectObject&) = delete;

  // Answers only for the object's own interfaces, never asking the owner.
  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<IInterface>(this, iid, obj); }
  // Without an owner both return 0 and change nothing; otherwise they count the
  // forwarded reference and return the owner's result.
  int32_t AddRef() override;
  int32_t Release() override;

  IInterface* Owner() const { return owner_; }
  int32_t ForwardedCount() const { return forwarded_.load(std::memory_order_relaxed); }

 private:
  IInterface* owner_;
  std::atomic<int32_t> forwarded_{0};
};

}  // namespace ryn
