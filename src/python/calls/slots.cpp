#include "python/calls/slots.h"

#include "python/calls/errors.h"
#include "python/objects/instance.h"

namespace zell {
namespace py {

void deallocInstance(Object* o) noexcept { releaseNative(headerOf(o)); }

Object* newInstanceOfType(Object* type, Object*, Object*) noexcept {
  try {
    const ClassDesc* cls = classOfType(type);
    if (!cls) raise(ErrorKind::AssertionDefect, "not a class of this module");
    NativeHeader* h = cls->makeEmpty(*cls);
    h->refs = 1;
    initPyHeader(pyObjectOf(h), type);
    return pyObjectOf(h);
  } catch (...) {
    return raiseCaught(Boundary::Operation);
  }
}

Object* iterateSelf(Object* o) noexcept {
  incRef(o);
  return o;
}

// The instances' memory belongs to the native allocator and is released by
// deallocInstance; the interpreter has no reason to call this, and doing
// nothing is the only safe answer if it does.
void freeNativeObj(void*) noexcept {}

}  // namespace py
}  // namespace zell
