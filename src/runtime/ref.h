// Counted references to native records. Counts are plain integers: every
// holder runs on the thread that holds the interpreter lock.
#pragma once

#include <cstdint>
#include <utility>

namespace zell {

// Base of every counted record; the record is deleted with its last holder.
struct Counted {
  int64_t refs = 0;
};

template <class T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T* p) : p_(p) { retain(); }
  Ref(const Ref& o) : p_(o.p_) { retain(); }
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Ref& operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Ref() { release(); }

  T* get() const { return p_; }
  T& operator*() const { return *p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  void retain() {
    if (p_) ++p_->refs;
  }
  void release() {
    if (p_ && --p_->refs == 0) destroy(p_);
  }
  // Apart, so that every holder's release stays a decrement and a test.
  [[gnu::noinline]] static void destroy(T* p) { delete p; }
  T* p_ = nullptr;
};

template <class T, class... Args>
Ref<T> makeRef(Args&&... args) {
  return Ref<T>(new T(std::forward<Args>(args)...));
}

}  // namespace zell
