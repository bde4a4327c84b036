// The machine's memory, for refusing work that cannot fit in it.
#pragma once

#include <cstdint>

namespace zell {

// Bytes of physical memory; 0 when the system does not tell.
uint64_t physicalMemoryBytes();

}  // namespace zell
