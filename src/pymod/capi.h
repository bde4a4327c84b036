// The interpreter's C interface as this module sees it: opaque objects,
// reached only through entry points resolved at run time (pylib.h) and the
// few layouts of layout.h.
#pragma once

#include <cstdint>

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

// Positional tuple plus keyword dictionary.
const int kVarargsKeywords = 3;

}  // namespace py
}  // namespace zell
