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
using NewFunc = Object* (*)(Object* type, Object* args, Object* kwargs);
using Destructor = void (*)(Object*);
using FreeFunc = void (*)(void*);

// The interpreter's method definition (layout checked by tests/layout).
struct MethodDef {
  const char* name;
  Handler handler;
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

}  // namespace py
}  // namespace zell
