#include "libengineport/lib_collect_object.h"

namespace ryn {

TLibCollectObject::~TLibCollectObject() {
  // The references still held are dead now; the one they kept on the owner goes back.
  if (refs_.exchange(0) > 0 && Owner()) Owner()->Release();
}

int32_t TLibCollectObject::AddRef() {
  if (!Owner()) return 0;
  int32_t n = refs_.fetch_add(1, std::memory_order_relaxed) + 1;
  if (n == 1) Owner()->AddRef();
  return n;
}

int32_t TLibCollectObject::Release() {
  if (!Owner()) return 0;
  int32_t n = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  // The owner may go with this call, and this object with it: nothing touches it after.
  if (n == 0) Owner()->Release();
  return n;
}

}  // namespace ryn
