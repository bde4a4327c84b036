// The interpreter module imported at the first import and kept for the life
// of the process.
#pragma once

#include "python/abi/capi.h"

namespace zell {
namespace py {

extern Object* pickleModule;  // payloads are saved as pickles

}  // namespace py
}  // namespace zell
