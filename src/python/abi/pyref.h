// An owned reference to an interpreter object, released on every path.
#pragma once

#include <utility>

#include "python/abi/pylib.h"

namespace zell {
namespace py {

class PyRef {
 public:
  PyRef() = default;
  // Takes over a new reference (may be null).
  static PyRef steal(Object* o) { return PyRef(o); }
  // Adds a reference of its own to a borrowed object.
  __attribute__((always_inline)) static PyRef borrow(Object* o) {
    if (o) incRef(o);
    return PyRef(o);
  }
  PyRef(const PyRef& other) : o_(other.o_) {
    if (o_) incRef(o_);
  }
  PyRef(PyRef&& other) noexcept : o_(std::exchange(other.o_, nullptr)) {}
  PyRef& operator=(PyRef other) noexcept {
    std::swap(o_, other.o_);
    return *this;
  }
  __attribute__((always_inline)) ~PyRef() { decRefIfAny(o_); }

  Object* get() const { return o_; }
  explicit operator bool() const { return o_ != nullptr; }
  // Hands the reference to the caller.
  Object* release() { return std::exchange(o_, nullptr); }

 private:
  explicit PyRef(Object* o) : o_(o) {}
  Object* o_ = nullptr;
};

// A container just made, kept from the collector while it is filled: code
// the collector runs could otherwise find it with empty slots.
class CollectorHidden {
 public:
  explicit CollectorHidden(Object* o) : o_(o) { pyLib.PyObject_GC_UnTrack(o_); }
  CollectorHidden(const CollectorHidden&) = delete;
  CollectorHidden& operator=(const CollectorHidden&) = delete;
  ~CollectorHidden() { pyLib.PyObject_GC_Track(o_); }

 private:
  Object* o_;
};

}  // namespace py
}  // namespace zell
