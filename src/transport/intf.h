// The basic reference-counted interface, the one smart pointer that owns references,
// and the helpers objects use to answer queries by interface identity.
//
// Interfaces derive virtually from their parent, so an object implementing several of
// them has a single IInterface: AddRef/Release are implemented once, and a query for an
// interface returns the pointer adjusted to exactly that interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "transport/guid.h"

namespace ryn {

constexpr int32_t kS_OK = 0;
constexpr int32_t kE_NOINTERFACE = static_cast<int32_t>(0x80004002u);

struct IInterface {
  using Parent = void;
  static constexpr TGUID IID = GuidLiteral("{00000000-0000-0000-C000-000000000046}");
  // Stores the interface (with a reference added) and answers kS_OK, or stores null and
  // answers kE_NOINTERFACE.
  virtual int32_t QueryInterface(const TGUID& iid, void** obj) = 0;
  virtual int32_t AddRef() = 0;
  virtual int32_t Release() = 0;

 protected:
  ~IInterface() = default;
};

template <class T>
class IntfPtr {
 public:
  IntfPtr() = default;
  IntfPtr(std::nullptr_t) {}
  // Shares: adds a reference.
  IntfPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  IntfPtr(const IntfPtr& o) : IntfPtr(o.p_) {}
  IntfPtr(IntfPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  IntfPtr(const IntfPtr<U>& o) : IntfPtr(static_cast<T*>(o.get())) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  IntfPtr(IntfPtr<U>&& o) noexcept : p_(o.Detach()) {}
  ~IntfPtr() { Reset(); }

  IntfPtr& operator=(IntfPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }

  // Takes over a reference the caller already owns.
  static IntfPtr Adopt(T* p) {
    IntfPtr r;
    r.p_ = p;
    return r;
  }
  T* Detach() { return std::exchange(p_, nullptr); }
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  friend bool operator==(const IntfPtr& a, const IntfPtr& b) { return a.p_ == b.p_; }
  friend bool operator==(const IntfPtr& a, std::nullptr_t) { return a.p_ == nullptr; }

  // The object's U interface, or null when it has none.
  template <class U>
  IntfPtr<U> Query() const;

 private:
  T* p_ = nullptr;
};

template <class U, class T>
IntfPtr<U> QueryIntf(T* p) {
  if (!p) return nullptr;
  void* out = nullptr;
  if (p->QueryInterface(U::IID, &out) != kS_OK || !out) return nullptr;
  return IntfPtr<U>::Adopt(static_cast<U*>(out));
}

template <class T>
template <class U>
IntfPtr<U> IntfPtr<T>::Query() const {
  return QueryIntf<U>(p_);
}

namespace intf_detail {
template <class I>
bool Match(I* p, const TGUID& iid, void** obj) {
  if (iid == I::IID) {
    *obj = p;
    return true;
  }
  if constexpr (std::is_void_v<typename I::Parent>) {
    return false;
  } else {
    return Match<typename I::Parent>(static_cast<typename I::Parent*>(p), iid, obj);
  }
}
}  // namespace intf_detail

// Answers a query for any of Is (or an ancestor of one) on self, the first match winning.
template <class... Is, class Self>
int32_t QueryInterfaces(Self* self, const TGUID& iid, void** obj) {
  if (!obj) return kE_NOINTERFACE;
  if ((intf_detail::Match<Is>(static_cast<Is*>(self), iid, obj) || ...)) {
    static_cast<IInterface*>(self)->AddRef();
    return kS_OK;
  }
  *obj = nullptr;
  return kE_NOINTERFACE;
}

// Lets another object answer a query for I: an engine with a sink attached answers for
// the sink. True, with a new reference to delegate in *obj, when iid is I's and both obj
// and delegate are set; otherwise false and *obj untouched, for the object's own answer.
template <class I>
bool AnswerFor(const IntfPtr<I>& delegate, const TGUID& iid, void** obj) {
  if (!obj || !delegate || !(iid == I::IID)) return false;
  *obj = IntfPtr<I>(delegate).Detach();
  return true;
}

}  // namespace ryn
