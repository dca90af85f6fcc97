// py_ref.h — PyRef, the owner of one strong Python reference.
//
//   PyRef s(PyUnicode_FromString("x"));   // steals the new reference
//   if (!s) return nullptr;                // a Python error is set
//   PyRef t = PyRef::borrow(obj);          // takes a new reference to obj
#pragma once

#include <Python.h>

#include <utility>

namespace tovarn::py {

class PyRef {
 public:
  PyRef() noexcept = default;
  explicit PyRef(PyObject* owned) noexcept : p_(owned) {}
  static PyRef borrow(PyObject* p) noexcept {
    Py_XINCREF(p);
    return PyRef(p);
  }
  PyRef(const PyRef& o) noexcept : p_(o.p_) { Py_XINCREF(p_); }
  PyRef(PyRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  PyRef& operator=(PyRef o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~PyRef() { Py_XDECREF(p_); }

  PyObject* get() const noexcept { return p_; }
  PyObject* release() noexcept { return std::exchange(p_, nullptr); }
  explicit operator bool() const noexcept { return p_ != nullptr; }

 private:
  PyObject* p_ = nullptr;
};

}  // namespace tovarn::py
