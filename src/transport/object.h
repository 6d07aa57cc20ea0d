// Root object classes. TObject is what IImplementorAccess hands out, so a holder of an
// interface can test the concrete class behind it (dynamic_cast). TInterfacedObject is an
// independently reference-counted object; TCollectObject (collect_object.h) is an
// aggregated one.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

#include "transport/intf.h"

namespace ryn {

class TObject {
 public:
  virtual ~TObject() = default;
};

// Starts with one reference, which MakeIntf hands to its caller; freed when the count
// drops to zero.
class TInterfacedObject : public TObject, public virtual IInterface {
 public:
  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<IInterface>(this, iid, obj); }
  int32_t AddRef() override { return refCount_.fetch_add(1, std::memory_order_relaxed) + 1; }
  int32_t Release() override {
    int32_t n = refCount_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (n == 0) delete this;
    return n;
  }
  int32_t RefCount() const { return refCount_.load(std::memory_order_relaxed); }

 protected:
  TInterfacedObject() = default;
  TInterfacedObject(const TInterfacedObject&) = delete;
  TInterfacedObject& operator=(const TInterfacedObject&) = delete;

 private:
  std::atomic<int32_t> refCount_{1};
};

// Creates a reference-counted object and returns its only reference.
template <class T, class... Args>
IntfPtr<T> MakeIntf(Args&&... args) {
  return IntfPtr<T>::Adopt(new T(std::forward<Args>(args)...));
}

}  // namespace ryn
