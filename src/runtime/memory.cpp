#include "runtime/memory.h"

#include "runtime/error.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace zell {

uint64_t physicalMemoryBytes() {
#ifdef _WIN32
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
#else
  long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return 0;
  return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
#endif
}

bool fitsInMemory(uint64_t count, uint64_t bytesEach) {
  uint64_t memory = physicalMemoryBytes();
  return memory == 0 || count <= memory / bytesEach;
}

void refuseBeyondMemory(uint64_t count, uint64_t bytesEach, const char* what, const char* items) {
  if (!fitsInMemory(count, bytesEach))
    raise(ErrorKind::OutOfMemDefect, std::string("a ") + what + " of " + std::to_string(count) + " " + items +
                                         " does not fit in memory");
}

}  // namespace zell
