#include "python/calls/slots.h"

#include "python/calls/errors.h"

namespace zell {
namespace py {

Object* newInstanceOfType(Object* type, Object*, Object*) noexcept {
  try {
    const ClassDesc* cls = classOfType(type);
    if (!cls) raise(ErrorKind::AssertionDefect, "not a class of this module");
    return cls->makeEmpty(*cls);
  } catch (...) {
    return raiseCaught(Boundary::Operation);
  }
}

Object* iterateSelf(Object* o) noexcept {
  incRef(o);
  return o;
}

// The instances' blocks are given back by their class's tp_dealloc once no native
// reference is left; the interpreter has no reason to call this, and doing
// nothing is the only safe answer if it does.
void freeNativeObj(void*) noexcept {}

int traverseInstance(Object* o, Visit visit, void* arg) noexcept {
  NativeHeader* h = headerOf(o);
  return h->cls->traverse ? h->cls->traverse(h, visit, arg) : 0;
}

int clearInstance(Object* o) noexcept {
  NativeHeader* h = headerOf(o);
  if (h->cls->clear) h->cls->clear(h);
  return 0;
}

}  // namespace py
}  // namespace zell
