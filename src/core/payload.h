// Payloads: optional strong references to interpreter objects. The core
// never looks inside them; it only counts them through the hooks that the
// interpreter binding installs (unit tests install counters of their own).
#pragma once

#include <utility>

#include "runtime/ref.h"

namespace zell {

struct PayloadHooks {
  void (*retain)(void* object);
  void (*release)(void* object);
};

// Installed once before the first tree is made.
extern PayloadHooks payloadHooks;

// A present payload holds exactly one count on its object; absent is null.
// A stored None is a present payload (its object is not null).
class Payload {
 public:
  Payload() = default;
  Payload(const Payload&) = delete;
  Payload& operator=(const Payload&) = delete;
  Payload(Payload&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ~Payload() { clear(); }

  // A count of its own on the same object (none when absent): what an
  // operation holds while code it calls may replace the node's payload.
  Payload shared() const {
    Payload copy;
    if (object_) {
      payloadHooks.retain(object_);
      copy.object_ = object_;
    }
    return copy;
  }

  bool has() const { return object_ != nullptr; }
  void* get() const { return object_; }

  // Stores `object` (counted); the previous object is released only after
  // the new one is in place, so code run by that release sees a sound node.
  void set(void* object) {
    payloadHooks.retain(object);
    void* old = std::exchange(object_, object);
    if (old) payloadHooks.release(old);
  }
  void clear() {
    if (void* old = std::exchange(object_, nullptr)) payloadHooks.release(old);
  }
  // Hands the object's count to the caller and leaves the payload absent.
  void* take() { return std::exchange(object_, nullptr); }
  // Takes over a count the caller holds on `object`.
  void adopt(void* object) {
    void* old = std::exchange(object_, object);
    if (old) payloadHooks.release(old);
  }
  // Takes over a count the caller holds on `object` and hands the caller
  // the previous object's count (null when absent), for it to release once
  // it can run code.
  void* exchange(void* object) { return std::exchange(object_, object); }
  void swap(Payload& other) { std::swap(object_, other.object_); }

 private:
  void* object_ = nullptr;
};

// The default payload, shared by a tree and every climber made from it.
struct PayloadCell : Counted {
  Payload payload;
};

}  // namespace zell
