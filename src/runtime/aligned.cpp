#include "runtime/aligned.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#ifdef _WIN32
#include <malloc.h>
#include <windows.h>
#else
#include <sys/mman.h>
#if !defined(MAP_ANONYMOUS) && defined(MAP_ANON)
#define MAP_ANONYMOUS MAP_ANON
#endif
#endif

namespace zell {

namespace {

uintptr_t roundUp(uintptr_t address, size_t alignment) {
  return (address + alignment - 1) & ~(alignment - 1);
}

}  // namespace

#ifdef _WIN32

void* allocateAligned(size_t bytes, size_t alignment) {
  void* memory = _aligned_malloc(bytes, alignment);
  if (!memory) throw std::bad_alloc();
  return memory;
}

void freeAligned(void* memory) { _aligned_free(memory); }

// An address range of `bytes + alignment` is reserved and only the aligned
// part in it committed: reserved addresses cost nothing against the commit
// limit, and a 64-bit process has plenty of them. Release finds the
// reservation from the committed part.
void* mapAligned(size_t bytes, size_t alignment) {
  void* reserved = VirtualAlloc(nullptr, bytes + alignment, MEM_RESERVE, PAGE_NOACCESS);
  if (!reserved) throw std::bad_alloc();
  void* start = reinterpret_cast<void*>(roundUp(reinterpret_cast<uintptr_t>(reserved), alignment));
  if (!VirtualAlloc(start, bytes, MEM_COMMIT, PAGE_READWRITE)) {
    VirtualFree(reserved, 0, MEM_RELEASE);
    throw std::bad_alloc();
  }
  return start;
}

void unmapAligned(void* memory, size_t) {
  MEMORY_BASIC_INFORMATION region{};
  if (VirtualQuery(memory, &region, sizeof region)) VirtualFree(region.AllocationBase, 0, MEM_RELEASE);
}

void adviseHugePages(void*, size_t) {}  // large pages need a privilege ordinary processes lack
void adviseUnused(void*, size_t) {}

#else

void* allocateAligned(size_t bytes, size_t alignment) {
  void* memory = nullptr;
  if (posix_memalign(&memory, alignment, bytes) != 0) throw std::bad_alloc();
  return memory;
}

void freeAligned(void* memory) { std::free(memory); }

namespace {

char* mapPages(size_t bytes) {
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  return static_cast<char*>(memory);
}

}  // namespace

// Mostly one call: the system places a new mapping next to the previous
// one, so once one slab is aligned the next usually is too. Otherwise a
// range one alignment larger is mapped and the pages before and after the
// aligned part are given back.
void* mapAligned(size_t bytes, size_t alignment) {
  char* exact = mapPages(bytes);
  if (reinterpret_cast<uintptr_t>(exact) % alignment == 0) return exact;
  munmap(exact, bytes);
  size_t span = bytes + alignment;
  char* wide = mapPages(span);
  char* start = reinterpret_cast<char*>(roundUp(reinterpret_cast<uintptr_t>(wide), alignment));
  if (start > wide) munmap(wide, static_cast<size_t>(start - wide));
  munmap(start + bytes, static_cast<size_t>(wide + span - (start + bytes)));
  return start;
}

void unmapAligned(void* memory, size_t bytes) { munmap(memory, bytes); }

// Advice only: where the system lacks it, or refuses it, nothing changes.
void adviseUnused([[maybe_unused]] void* memory, [[maybe_unused]] size_t bytes) {
#ifdef MADV_FREE
  madvise(memory, bytes, MADV_FREE);
#endif
}

void adviseHugePages([[maybe_unused]] void* memory, [[maybe_unused]] size_t bytes) {
#ifdef MADV_HUGEPAGE
  madvise(memory, bytes, MADV_HUGEPAGE);
#endif
}

#endif

namespace {

std::atomic<void*> spareSlabs[kSpareSlabs];

}  // namespace

void* takeLargeSlab() {
  for (auto& spare : spareSlabs)
    if (spare.load(std::memory_order_relaxed))
      if (void* slab = spare.exchange(nullptr, std::memory_order_acquire)) return slab;
  void* slab = mapAligned(kLargeSlabBytes, kLargeSlabBytes);
  adviseHugePages(slab, kLargeSlabBytes);
  return slab;
}

void giveLargeSlab(void* slab) {
  // Advised before it is kept: from then on another thread may take it and
  // write to it.
  adviseUnused(slab, kLargeSlabBytes);
  for (auto& spare : spareSlabs) {
    void* empty = nullptr;
    if (spare.compare_exchange_strong(empty, slab, std::memory_order_release, std::memory_order_relaxed))
      return;
  }
  unmapAligned(slab, kLargeSlabBytes);
}

}  // namespace zell
