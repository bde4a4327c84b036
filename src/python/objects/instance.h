// Python instances of the module's classes. Each is one native allocation:
// a native header (class identity and native reference count), then the
// interpreter's object header, then the class's own fields. The Python
// object pointer points at the interpreter's header. While the Python count
// is above zero, Python holds exactly one native reference.
#pragma once

#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "python/abi/capi.h"
#include "python/abi/pylib.h"
#include "runtime/error.h"

namespace zell {
namespace py {

struct NativeHeader;

// One of the module's eight classes.
struct ClassDesc {
  const char* name;  // e.g. "Zell2Climber"
  NativeHeader* (*makeEmpty)(const ClassDesc&);
  void (*destroy)(NativeHeader*);
  const MethodDef* methods = nullptr;  // a fixed table, ended by an empty entry
  Object* pyType = nullptr;            // built once, at the module's first import
  // An iterator's next step (tp_iternext): its class iterates itself and
  // cannot be called to make an instance.
  Object* (*iterNext)(Object*) = nullptr;
};

struct NativeHeader {
  const ClassDesc* cls;
  int64_t refs;
};

// Room for the interpreter's object header, also on a reference-tracing
// build (two link words in front of count and type).
constexpr size_t kPyHeaderRoom = 32;

template <class Fields>
struct Instance {
  NativeHeader native;
  alignas(8) unsigned char pyHeader[kPyHeaderRoom];
  Fields fields;
};

inline Object* pyObjectOf(NativeHeader* h) {
  return reinterpret_cast<Object*>(reinterpret_cast<unsigned char*>(h) + sizeof(NativeHeader));
}
inline NativeHeader* headerOf(Object* o) {
  return reinterpret_cast<NativeHeader*>(reinterpret_cast<unsigned char*>(o) - sizeof(NativeHeader));
}

void releaseNative(NativeHeader* h) noexcept;

// The class of one of the module's instances, or null for any other object.
// A class is recognised by its type object, never by a slot value.
const ClassDesc* classOfType(Object* type);
void registerClassForLookup(const ClassDesc* cls);

// Writes the interpreter's header of a new instance: count 1, its type.
inline void initPyHeader(Object* o, Object* type) {
  auto* base = reinterpret_cast<unsigned char*>(o) + pyLib.headerOffset;
  Ssize count = 1;
  std::memcpy(base + layout::kObjectRefcnt, &count, sizeof count);
  std::memcpy(base + layout::kObjectType, &type, sizeof type);
}

// Blocks of released instances of one class, kept for the next ones: a
// loop that makes and drops a climber per point then reuses one block
// instead of going through the allocator each time. Instances are made and
// released only under the interpreter lock.
template <class Fields>
class SpareInstances {
 public:
  static void* take() {
    if constexpr (kKept > 0)
      if (count_ > 0) return blocks_[--count_];
    return ::operator new(sizeof(Instance<Fields>));
  }
  static void give(void* block) {
    if constexpr (kKept > 0)
      if (count_ < kKept) return void(blocks_[count_++] = block);
    ::operator delete(block);
  }

 private:
#ifdef __SANITIZE_ADDRESS__
  static constexpr int kKept = 0;  // every instance its own allocation, for use-after-free reports
#else
  static constexpr int kKept = 32;
#endif
  static inline void* blocks_[kKept > 0 ? kKept : 1];
  static inline int count_ = 0;
};

template <class Fields>
NativeHeader* newNative(const ClassDesc& cls, Fields fields) {
  auto* inst = new (SpareInstances<Fields>::take()) Instance<Fields>{{&cls, 0}, {}, std::move(fields)};
  static_assert(offsetof(Instance<Fields>, pyHeader) == sizeof(NativeHeader),
                "the interpreter's header follows the native header");
  return &inst->native;
}

template <class Fields>
void destroyNative(NativeHeader* h) {
  auto* inst = reinterpret_cast<Instance<Fields>*>(h);
  inst->~Instance();
  SpareInstances<Fields>::give(inst);
}

// Wraps native fields as a new Python instance of `cls` (count 1).
template <class Fields>
Object* newPyInstance(const ClassDesc& cls, Fields fields) {
  if (!cls.pyType) raise(ErrorKind::AssertionDefect, std::string("class not built: ") + cls.name);
  NativeHeader* h = newNative(cls, std::move(fields));
  h->refs = 1;  // Python's native reference
  Object* o = pyObjectOf(h);
  initPyHeader(o, cls.pyType);
  return o;
}

template <class Fields>
Fields& fieldsOf(NativeHeader* h) {
  return reinterpret_cast<Instance<Fields>*>(h)->fields;
}

// A native reference on an instance for the duration of a call.
class InstanceRef {
 public:
  InstanceRef() = default;
  explicit InstanceRef(NativeHeader* h) : h_(h) { ++h_->refs; }
  InstanceRef(const InstanceRef&) = delete;
  InstanceRef(InstanceRef&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  InstanceRef& operator=(const InstanceRef&) = delete;
  InstanceRef& operator=(InstanceRef&& o) noexcept {
    std::swap(h_, o.h_);
    return *this;
  }
  ~InstanceRef() {
    if (h_) releaseNative(h_);
  }
  NativeHeader* get() const { return h_; }

 private:
  NativeHeader* h_ = nullptr;
};

// The instance behind `o`, which must be of class `expected`: any other
// object raises "Cannot convert python object to <class>".
InstanceRef toOtherInstance(Object* o, const ClassDesc& expected);
inline InstanceRef toInstance(Object* o, const ClassDesc& expected) {
  // The interpreter hands every method an instance of its own class.
  if (typeOf(o) == expected.pyType && headerOf(o)->cls == &expected) return InstanceRef(headerOf(o));
  return toOtherInstance(o, expected);
}

}  // namespace py
}  // namespace zell
