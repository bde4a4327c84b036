#include "runtime/interrupts.h"

namespace zell {

void (*interruptHook)() = nullptr;

}  // namespace zell
