// The interpreter modules imported at the first import and kept for the
// life of the process.
#pragma once

#include "pymod/capi.h"

namespace zell {
namespace py {

extern Object* osModule;        // kept, used by no operation
extern Object* pickleModule;    // payloads are saved as pickles
extern Object* builtinsModule;  // "builtins" on 3.x, "__builtin__" on 2.x

}  // namespace py
}  // namespace zell
