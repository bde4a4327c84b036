// The interpreter module imported at the first import and kept for the life
// of the process.
#pragma once

#include "python/abi/capi.h"

namespace zell {
namespace py {

extern Object* pickleModule;  // payloads are saved as pickles

// dumps and loads of the interpreter's own pickler (the module _pickle);
// null where there is none (Python 2). Payloads of the simplest types are
// pickled without a call only while pickle's functions are these.
extern Object* builtinDumps;
extern Object* builtinLoads;

}  // namespace py
}  // namespace zell
