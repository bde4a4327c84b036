// Memory at a chosen alignment, for the node pools' slabs, without asking
// the system for more than is used: a tree's size under a limit on the
// address space (a `ulimit -v`, a job's commit limit) is what it touches.
#pragma once

#include <cstddef>

namespace zell {

// `bytes` from the C library at a multiple of `alignment` (a power of two,
// at least a pointer's size, small beside `bytes`), released by
// freeAligned. Throws std::bad_alloc.
void* allocateAligned(size_t bytes, size_t alignment);
void freeAligned(void* memory);

// `bytes` of zeroed pages straight from the system at a multiple of
// `alignment` (a power of two; both multiples of the page size), released
// by unmapAligned with the same size. Throws std::bad_alloc. For large
// alignments: the C libraries' aligned calls place such a block in one of
// twice its size and keep all of it (glibc's as address space, the Windows
// runtime's as committed memory); here only `bytes` stay.
void* mapAligned(size_t bytes, size_t alignment);
void unmapAligned(void* memory, size_t bytes);

// Asks the system to back the pages at `memory` with huge pages (one
// translation for all of them); where it offers none, nothing changes.
void adviseHugePages(void* memory, size_t bytes);
// Tells the system that the pages at `memory` hold nothing of use: it may
// take them back under memory pressure, leaving zeroed pages. Where it
// offers no such advice, nothing changes.
void adviseUnused(void* memory, size_t bytes);

// The node pools' full-size slabs: kLargeSlabBytes at a multiple of
// themselves, with huge pages asked for. Slabs given back are kept, up to
// kSpareSlabs of them, for the next tree to take as they are: fresh pages
// cost the system a fault and a zeroing each, which a tree built or loaded
// after another was freed would otherwise meet at every slab. The system
// may take a kept slab's pages back when memory runs short (adviseUnused).
// Beyond the bound slabs are unmapped. Taking and giving are safe from any
// thread. A slab taken holds whatever its last tree left in it, or zeros.
// Throws std::bad_alloc.
inline constexpr size_t kLargeSlabBytes = size_t{2} << 20;
inline constexpr int kSpareSlabs = 32;
void* takeLargeSlab();
void giveLargeSlab(void* slab);

}  // namespace zell
