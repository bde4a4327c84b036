// The machine's memory, for refusing work that cannot fit in it.
#pragma once

#include <cstdint>
#include <string>

namespace zell {

// Bytes of physical memory; 0 when the system does not tell.
uint64_t physicalMemoryBytes();

// Whether `count` items of `bytesEach` bytes fit in physical memory (when
// the system does not tell, they are taken to).
bool fitsInMemory(uint64_t count, uint64_t bytesEach);

// A result of `count` items of `bytesEach` bytes that needs more memory
// than the machine has cannot be made; refusing it beats being stopped by
// the system halfway through: OutOfMemDefect "a <what> of <count> <items>
// does not fit in memory".
void refuseBeyondMemory(uint64_t count, uint64_t bytesEach, const char* what, const char* items);

}  // namespace zell
