// rc.h — single-threaded intrusive reference counting.
//
// Templates, configuration snapshots, namespaces and values are shared by a
// plain (non-atomic) count: everything runs on one thread under the Python
// interpreter lock, so copying a handle is a pointer copy and an increment.
//
//   struct Thing : RefCounted { int x = 1; };
//   Rc<Thing> a = make_rc<Thing>();
//   Rc<Thing> b = a;            // count 2
#pragma once

#include <cstdint>
#include <utility>

namespace tovarn {

class RefCounted {
 public:
  RefCounted() = default;
  RefCounted(const RefCounted&) : refs_(0) {}
  RefCounted& operator=(const RefCounted&) { return *this; }
  virtual ~RefCounted() = default;

  void add_ref() const noexcept { ++refs_; }
  void release() const noexcept {
    if (--refs_ == 0) delete this;
  }
  uint32_t ref_count() const noexcept { return refs_; }

 private:
  mutable uint32_t refs_ = 0;
};

template <class T>
class Rc {
 public:
  Rc() noexcept = default;
  Rc(std::nullptr_t) noexcept {}
  explicit Rc(T* p) noexcept : p_(p) {
    if (p_) p_->add_ref();
  }
  Rc(const Rc& o) noexcept : p_(o.p_) {
    if (p_) p_->add_ref();
  }
  Rc(Rc&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U>
  Rc(const Rc<U>& o) noexcept : p_(o.get()) {
    if (p_) p_->add_ref();
  }
  ~Rc() {
    if (p_) p_->release();
  }
  Rc& operator=(Rc o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }

  T* get() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }
  bool operator==(const Rc& o) const noexcept { return p_ == o.p_; }

 private:
  T* p_ = nullptr;
};

template <class T, class... Args>
Rc<T> make_rc(Args&&... args) {
  return Rc<T>(new T(std::forward<Args>(args)...));
}

}  // namespace tovarn
