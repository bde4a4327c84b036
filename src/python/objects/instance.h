// Python instances of the module's classes. Each is one block from the
// interpreter's allocator for objects the cyclic collector tracks: the
// interpreter's object header, then a native header (the class), then the
// class's own fields. The instance lives as long as its Python count: a
// call holds a count of its own on the instance it runs on, and the fields
// are destroyed and the block given back when the count reaches zero.
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

// The collector's visit of one reference (visitproc), and what a class
// answers for each of its instances: the references it holds (tp_traverse)
// and, for a class whose instances can close a cycle alone, the release of
// them (tp_clear).
using Visit = int (*)(Object* object, void* arg);
using Traverse = int (*)(NativeHeader* h, Visit visit, void* arg);
using Clear = void (*)(NativeHeader* h);

// One of the module's classes.
struct ClassDesc {
  const char* name;                        // e.g. "Zell2Climber"
  Object* (*makeEmpty)(const ClassDesc&);  // a new instance holding nothing
  Destructor dealloc;                      // tp_dealloc, one per class
  const MethodDef* methods = nullptr;      // a fixed table, ended by an empty entry
  Object* pyType = nullptr;                // built once, at the module's first import
  // An iterator's next step (tp_iternext): its class iterates itself and
  // cannot be called to make an instance.
  Object* (*iterNext)(Object*) = nullptr;
  size_t instanceSize = 0;  // tp_basicsize
  Traverse traverse = nullptr;
  Clear clear = nullptr;
};

struct NativeHeader {
  const ClassDesc* cls;
};

// Room for the interpreter's object header, also on a reference-tracing
// build (two link words in front of count and type).
constexpr size_t kPyHeaderRoom = 32;

template <class Fields>
struct Instance {
  alignas(8) unsigned char pyHeader[kPyHeaderRoom];
  NativeHeader native;
  Fields fields;
};

inline Object* pyObjectOf(NativeHeader* h) {
  return reinterpret_cast<Object*>(reinterpret_cast<unsigned char*>(h) - kPyHeaderRoom);
}
inline NativeHeader* headerOf(Object* o) {
  return reinterpret_cast<NativeHeader*>(reinterpret_cast<unsigned char*>(o) + kPyHeaderRoom);
}

// The class of one of the module's instances, or null for any other object.
// A class is recognised by its type object, never by a slot value.
const ClassDesc* classOfType(Object* type);
void registerClassForLookup(const ClassDesc* cls);

// Starts the life of an object whose block was used before: the
// interpreter's header says count 1 and its type. Written in place where
// the layout check proves that this is all the interpreter would do, else
// by the interpreter, whose debug builds count every object made.
inline void initPyHeader(Object* o, Object* type) {
  if (!pyLib.inPlace) return void(pyLib.PyObject_Init(o, type));
  Ssize count = 1;
  std::memcpy(reinterpret_cast<unsigned char*>(o) + layout::kObjectRefcnt, &count, sizeof count);
  std::memcpy(reinterpret_cast<unsigned char*>(o) + layout::kObjectType, &type, sizeof type);
}

// Blocks of released instances of one class, kept for the next ones: a
// loop that makes and drops a climber per point then reuses one block
// instead of going through the allocator each time. A kept block is no
// longer tracked by the collector. Instances are made and released only
// under the interpreter lock.
template <class Fields>
class SpareInstances {
 public:
  // A block with its interpreter header written (count 1, its type), not
  // yet tracked by the collector.
  __attribute__((always_inline)) static Object* take(Object* type) {
    if constexpr (kKept > 0)
      if (count_ > 0) {
        Object* o = blocks_[--count_];
        initPyHeader(o, type);
        return o;
      }
    return allocate(type);
  }
  static void give(Object* o) {
    if constexpr (kKept > 0)
      if (count_ < kKept) return void(blocks_[count_++] = o);
    pyLib.PyObject_GC_Del(o);
  }

 private:
  __attribute__((noinline)) static Object* allocate(Object* type) {
    Object* o = pyLib._PyObject_GC_New(type);
    if (!o) {
      pyLib.PyErr_Clear();  // reported as the native allocation failure it is
      throw std::bad_alloc();
    }
    return o;
  }

#ifdef __SANITIZE_ADDRESS__
  static constexpr int kKept = 0;  // every instance its own allocation, for use-after-free reports
#else
  static constexpr int kKept = 32;
#endif
  static inline Object* blocks_[kKept > 0 ? kKept : 1];
  static inline int count_ = 0;
};

// The size the interpreter allocates for an instance whose fields are
// `Fields` (the class's tp_basicsize).
template <class Fields>
constexpr size_t instanceSize() {
  static_assert(offsetof(Instance<Fields>, native) == kPyHeaderRoom,
                "the native header follows the interpreter's header");
  return sizeof(Instance<Fields>);
}

// Makes a new Python instance of `cls` (count 1), tracked by the collector,
// whose fields are made in place of `parts`.
[[noreturn]] void raiseClassNotBuilt(const ClassDesc& cls);
template <class Fields, class... Parts>
__attribute__((always_inline)) inline Object* newPyInstance(const ClassDesc& cls, Parts&&... parts) {
  if (!cls.pyType) raiseClassNotBuilt(cls);
  Object* o = SpareInstances<Fields>::take(cls.pyType);
  auto* inst = reinterpret_cast<Instance<Fields>*>(o);  // its header is the interpreter's
  new (&inst->native) NativeHeader{&cls};
  new (&inst->fields) Fields{std::forward<Parts>(parts)...};
  pyLib.PyObject_GC_Track(o);
  return o;
}

// Destroys the fields (which may run Python code) and gives the block back.
template <class Fields>
void destroyNative(NativeHeader* h) {
  Object* o = pyObjectOf(h);
  reinterpret_cast<Instance<Fields>*>(o)->fields.~Fields();
  SpareInstances<Fields>::give(o);
}

// tp_dealloc of a class whose instances hold `Fields`: takes the instance
// from the collector, then destroys it. A function per class, so that the
// interpreter reaches the fields' destructors without a call through the
// class description.
template <class Fields>
void deallocNative(Object* o) noexcept {
  pyLib.PyObject_GC_UnTrack(o);
  destroyNative<Fields>(headerOf(o));
}

template <class Fields>
Fields& fieldsOf(NativeHeader* h) {
  return reinterpret_cast<Instance<Fields>*>(pyObjectOf(h))->fields;
}
// The Python instance whose fields are `fields`.
template <class Fields>
Object* instanceOfFields(Fields& fields) {
  return reinterpret_cast<Object*>(reinterpret_cast<unsigned char*>(&fields) -
                                   offsetof(Instance<Fields>, fields));
}

// A reference on an instance for the duration of a call: a count of the
// Python object itself, so that code the call runs cannot free the object
// (its count reaching zero) while the call still stands on it, or hands it
// to a climber it makes.
class InstanceRef {
 public:
  InstanceRef() = default;
  __attribute__((always_inline)) explicit InstanceRef(NativeHeader* h) : h_(h) { incRef(pyObjectOf(h_)); }
  InstanceRef(const InstanceRef&) = delete;
  InstanceRef(InstanceRef&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  InstanceRef& operator=(const InstanceRef&) = delete;
  InstanceRef& operator=(InstanceRef&& o) noexcept {
    std::swap(h_, o.h_);
    return *this;
  }
  __attribute__((always_inline)) ~InstanceRef() {
    if (h_) decRef(pyObjectOf(h_));
  }
  NativeHeader* get() const { return h_; }

 private:
  NativeHeader* h_ = nullptr;
};

// The instance behind `o`, which must be of class `expected`: any other
// object raises "Cannot convert python object to <class>".
InstanceRef toOtherInstance(Object* o, const ClassDesc& expected);
__attribute__((always_inline)) inline InstanceRef toInstance(Object* o, const ClassDesc& expected) {
  // The interpreter hands every method an instance of its own class. Each
  // class has a type of its own, which cannot be subclassed, and every
  // instance of it was made for that class (newPyInstance): the type
  // alone tells.
  if (typeOf(o) == expected.pyType) return InstanceRef(headerOf(o));
  return toOtherInstance(o, expected);
}

}  // namespace py
}  // namespace zell
