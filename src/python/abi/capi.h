// The interpreter's C interface as this module sees it: opaque objects,
// reached only through entry points resolved at run time (pylib.h) and the
// few layouts of layout.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "python/abi/layout.h"

namespace zell {
namespace py {

struct Object;  // an interpreter object; never dereferenced directly
using Ssize = intptr_t;
using Handler = Object* (*)(Object* self, Object* args, Object* kwargs);
// The vectorcall convention (3.7 on): positional arguments, then the
// values of the keywords whose names the tuple `kwnames` holds (or null).
using FastHandler = Object* (*)(Object* self, Object* const* args, Ssize nargs, Object* kwnames);
using NewFunc = Object* (*)(Object* type, Object* args, Object* kwargs);
using Destructor = void (*)(Object*);
using FreeFunc = void (*)(void*);

// The interpreter's method definition (layout checked by tests/layout).
struct MethodDef {
  // The handler, of the convention the flags name.
  union Callable {
    constexpr Callable(Handler h) : varargs(h) {}
    constexpr Callable(FastHandler h) : fast(h) {}
    Handler varargs;
    FastHandler fast;
  };
  const char* name;
  Callable handler;
  int flags;
  const char* doc;
};

// The layout check proves these offsets against every interpreter's own
// method definition; they tie this struct to it.
static_assert(offsetof(MethodDef, name) == layout::kMethodName, "method name");
static_assert(offsetof(MethodDef, handler) == layout::kMethodHandler, "method handler");
static_assert(offsetof(MethodDef, flags) == layout::kMethodFlags, "method flags");
static_assert(offsetof(MethodDef, doc) == layout::kMethodDoc, "method doc");
static_assert(sizeof(MethodDef) == layout::kMethodDefSize, "method definition size");

// Positional tuple plus keyword dictionary.
const int kVarargsKeywords = 3;
// Vectorcall with keywords (METH_FASTCALL | METH_KEYWORDS).
const int kFastcallKeywords = 0x80 | 0x02;

}  // namespace py
}  // namespace zell
