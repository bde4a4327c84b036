#include "python/surface/registry.h"

#include <cstdlib>
#include <string>

#include "python/calls/errors.h"
#include "python/calls/slots.h"

namespace zell {
namespace py {

namespace {

// Type flags by interpreter: 2.x needs its feature bits, 3.x before 3.10
// its default bit, and 3.10 on wants none. Eight bytes: the interpreter's
// unsigned long on 64-bit Linux and macOS; on 64-bit Windows a four-byte
// field and the four bytes of padding that follow it, which little-endian
// order fills with the same value.
uint64_t typeFlags() {
  if (pyLib.major == 2) return 0x201EB;
  if (pyLib.major == 3 && pyLib.minor < 10) return uint64_t{1} << 18;
  return 0;
}

template <class T>
void put(unsigned char* type, size_t offset, T value) {
  std::memcpy(type + pyLib.headerOffset + offset, &value, sizeof value);
}

// A zero-filled type object, large enough for every interpreter, with the
// slots this module uses. Its count starts at 1, as for a statically
// declared type: the class lives for the whole process.
Object* buildType(ClassDesc& cls) {
  if (!havePyLib() || cls.pyType || !cls.instanceSize || !cls.traverse || !cls.dealloc)
    raise(ErrorKind::AssertionDefect, "class built twice or described incompletely");
  auto* type = static_cast<unsigned char*>(std::calloc(1, layout::kTypeAllocSize + pyLib.headerOffset));
  if (!type) throw std::bad_alloc();
  Ssize count = 1;
  std::memcpy(type + pyLib.headerOffset + layout::kObjectRefcnt, &count, sizeof count);
  put(type, layout::kTypeName, cls.name);
  static_assert(sizeof(typeFlags()) == layout::kTypeFlagsSize, "the interpreter's tp_flags");
  put(type, layout::kTypeFlags, typeFlags() | layout::kTypeHasCollectorFlag);
  put(type, layout::kTypeBasicSize, static_cast<Ssize>(cls.instanceSize));
  put(type, layout::kTypeDealloc, cls.dealloc);
  put(type, layout::kTypeTraverse, &traverseInstance);
  put(type, layout::kTypeClear, &clearInstance);
  if (cls.iterNext) {
    put(type, layout::kTypeIter, &iterateSelf);
    put(type, layout::kTypeIterNext, cls.iterNext);
  } else {
    put(type, layout::kTypeNew, &newInstanceOfType);
  }
  put(type, layout::kTypeFree, &freeNativeObj);
  put(type, layout::kTypeMethods, cls.methods);
  auto* object = reinterpret_cast<Object*>(type);
  if (pyLib.PyType_Ready(object) != 0) raisePythonError();
  cls.pyType = object;
  return object;
}

}  // namespace

void registerClasses(ClassDesc* const* classes, size_t count) {
  for (size_t i = 0; i < count; ++i) registerClassForLookup(classes[i]);
}

void buildClasses(ClassDesc* const* classes, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (!classes[i]->pyType) buildType(*classes[i]);
}

void addClasses(Object* module, ClassDesc* const* classes, size_t count) {
  buildClasses(classes, count);
  for (size_t i = 0; i < count; ++i) {
    ClassDesc* cls = classes[i];
    incRef(cls->pyType);  // taken over by PyModule_AddObject
    if (pyLib.PyModule_AddObject(module, cls->name, cls->pyType) != 0) {
      decRef(cls->pyType);
      raisePythonError();
    }
  }
}

}  // namespace py
}  // namespace zell
