// The node pools themselves, not bypassed as in the sanitizer build of the
// module: every block aligned, inside a slab past its header, apart from
// every other and writable throughout; full-size slabs on 2 MiB
// boundaries; blocks given back handed out again before any new slab.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/node.h"

using namespace zell;

namespace {

struct Extent {
  uintptr_t start;
  size_t bytes;
  bool operator<(const Extent& other) const { return start < other.start; }
  bool operator==(const Extent& other) const { return start == other.start && bytes == other.bytes; }
};

template <class Pool>
std::vector<Extent> slabsOf(const Pool& pool) {
  std::vector<Extent> slabs;
  pool.forEachSlab(
      [&](const void* start, size_t bytes) { slabs.push_back({reinterpret_cast<uintptr_t>(start), bytes}); });
  std::sort(slabs.begin(), slabs.end());
  return slabs;
}

unsigned char patternOf(size_t i) { return static_cast<unsigned char>(i * 7 + 1); }

// Takes blocks enough for a few full-size slabs, checks where they lie and
// fills each with its own byte, then gives every third back and takes as
// many again.
template <size_t Size, size_t Align>
void checkPool() {
  using Pool = SlabPool<Size, Align, false>;
  Pool pool;
  size_t count = 4 * Pool::kLargeSlab / Size;
  std::vector<unsigned char*> blocks;
  for (size_t i = 0; i < count; ++i) blocks.push_back(static_cast<unsigned char*>(pool.take()));

  std::vector<Extent> slabs = slabsOf(pool);
  size_t large = 0;
  for (const Extent& slab : slabs) {
    if (slab.bytes != Pool::kLargeSlab) continue;
    ++large;
    EXPECT_EQ(slab.start % Pool::kLargeSlab, 0u) << "full-size slab at " << slab.start;
  }
  EXPECT_GE(large, 2u);

  std::vector<uintptr_t> sorted;
  for (unsigned char* block : blocks) sorted.push_back(reinterpret_cast<uintptr_t>(block));
  std::sort(sorted.begin(), sorted.end());
  for (size_t i = 0; i < sorted.size(); ++i) {
    uintptr_t at = sorted[i];
    EXPECT_EQ(at % Align, 0u) << "block at " << at;
    if (i > 0) {
      EXPECT_GE(at - sorted[i - 1], Size) << "blocks at " << sorted[i - 1] << " and " << at << " overlap";
    }
    auto slab = std::upper_bound(slabs.begin(), slabs.end(), Extent{at, 0});
    ASSERT_NE(slab, slabs.begin()) << "block at " << at << " before every slab";
    --slab;
    ASSERT_GE(at, slab->start + 2 * sizeof(void*)) << "block at " << at << " over its slab's header";
    ASSERT_LE(at + Size, slab->start + slab->bytes) << "block at " << at << " past its slab's end";
  }
  for (size_t i = 0; i < count; ++i) std::memset(blocks[i], patternOf(i), Size);

  std::vector<uintptr_t> given, retaken;
  for (size_t i = 0; i < count; i += 3) {
    given.push_back(reinterpret_cast<uintptr_t>(blocks[i]));
    pool.give(blocks[i]);
    blocks[i] = nullptr;
  }
  for (size_t i = 0; i < given.size(); ++i) retaken.push_back(reinterpret_cast<uintptr_t>(pool.take()));
  std::sort(given.begin(), given.end());
  std::sort(retaken.begin(), retaken.end());
  EXPECT_EQ(retaken, given) << "blocks given back are not the ones handed out again";
  EXPECT_EQ(slabsOf(pool), slabs) << "a slab was added while blocks were free";

  for (size_t i = 0; i < count; ++i) {
    if (!blocks[i]) continue;
    size_t wrong = 0;
    for (size_t b = 0; b < Size; ++b) wrong += blocks[i][b] != patternOf(i);
    ASSERT_EQ(wrong, 0u) << "block " << i << " was written through another";
  }
}

}  // namespace

TEST(SlabPool, BlocksAlignedInsideDisjointSlabsAndReused) {
  checkPool<sizeof(Node<2>), alignof(Node<2>)>();
  checkPool<sizeof(ChildSet<1>), alignof(ChildSet<1>)>();
  checkPool<sizeof(ChildSet<3>), alignof(ChildSet<3>)>();
  checkPool<sizeof(ForeignChildSet<4>), alignof(ForeignChildSet<4>)>();
}

// Mapped pages at alignments the system does not give by itself, so that
// the pages around the aligned part are trimmed, and allocations from the
// C library at the slabs' alignments: all aligned and writable throughout.
TEST(AlignedMemory, MappedAndAllocatedAtTheirAlignment) {
  const size_t bytes = size_t{2} << 20;
  for (size_t alignment : {bytes, bytes << 2, bytes << 4}) {
    std::vector<void*> mapped;
    for (int i = 0; i < 6; ++i) {
      mapped.push_back(mapAligned(bytes, alignment));
      EXPECT_EQ(reinterpret_cast<uintptr_t>(mapped.back()) % alignment, 0u) << "alignment " << alignment;
      std::memset(mapped.back(), 1, bytes);
    }
    for (void* memory : mapped) unmapAligned(memory, bytes);
  }
  for (size_t alignment : {size_t{16}, size_t{64}, size_t{4096}}) {
    void* memory = allocateAligned(100000, alignment);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(memory) % alignment, 0u) << "alignment " << alignment;
    std::memset(memory, 1, 100000);
    freeAligned(memory);
  }
}

#ifndef _WIN32
#include <sys/mman.h>
#include <unistd.h>

#include <set>
#include <thread>

namespace {

// Whether any page of the range is mapped no longer.
bool unmapped(void* start, size_t bytes) {
  std::vector<unsigned char> pages(bytes / static_cast<size_t>(sysconf(_SC_PAGESIZE)));
  return mincore(start, bytes, pages.data()) != 0 && errno == ENOMEM;
}

// Empties the spare slabs, which earlier tests may have left.
void drainSpares() {
  for (int i = 0; i < kSpareSlabs; ++i) unmapAligned(takeLargeSlab(), kLargeSlabBytes);
}

template <class Pool>
std::set<uintptr_t> largeSlabsOf(const Pool& pool) {
  std::set<uintptr_t> large;
  for (const Extent& slab : slabsOf(pool))
    if (slab.bytes == kLargeSlabBytes) large.insert(slab.start);
  return large;
}

}  // namespace

// Full-size slabs a pool gives back serve the next pool as they are, up to
// the bound; beyond it they go back to the system.
TEST(SpareSlabs, ServeTheNextPoolUpToTheirBound) {
  using Pool = SlabPool<sizeof(ChildSet<3>), alignof(ChildSet<3>), false>;
  drainSpares();
  std::set<uintptr_t> first, second;
  for (std::set<uintptr_t>* slabs : {&first, &second}) {
    Pool pool;
    for (size_t i = 0; i < 3 * kLargeSlabBytes / sizeof(ChildSet<3>); ++i) pool.take();
    *slabs = largeSlabsOf(pool);
  }
  EXPECT_GE(first.size(), 2u);
  EXPECT_EQ(second, first) << "the second pool did not take the slabs the first gave back";

  drainSpares();
  std::vector<void*> kept, extra;
  for (int i = 0; i < kSpareSlabs; ++i) kept.push_back(takeLargeSlab());
  for (int i = 0; i < 3; ++i) extra.push_back(takeLargeSlab());
  for (void* slab : kept) giveLargeSlab(slab);
  for (void* slab : extra) {
    std::memset(slab, 1, kLargeSlabBytes);
    giveLargeSlab(slab);
    EXPECT_TRUE(unmapped(slab, kLargeSlabBytes)) << "a slab beyond the bound stayed mapped";
  }
  std::set<void*> retaken;
  for (int i = 0; i < kSpareSlabs; ++i) {
    void* slab = takeLargeSlab();
    EXPECT_EQ(reinterpret_cast<uintptr_t>(slab) % kLargeSlabBytes, 0u);
    EXPECT_FALSE(unmapped(slab, kLargeSlabBytes));
    retaken.insert(slab);
  }
  EXPECT_EQ(retaken, std::set<void*>(kept.begin(), kept.end()));
  for (void* slab : retaken) giveLargeSlab(slab);
}

// Threads taking and giving slabs at once never hold the same one.
TEST(SpareSlabs, NeverHandedToTwoThreads) {
  auto churn = [](unsigned char mark, int* wrong) {
    for (int round = 0; round < 300; ++round) {
      void* slabs[3];
      for (void*& slab : slabs) {
        slab = takeLargeSlab();
        std::memset(slab, mark, 4096);
      }
      for (void* slab : slabs) {
        auto* bytes = static_cast<unsigned char*>(slab);
        *wrong += std::count_if(bytes, bytes + 4096, [&](unsigned char b) { return b != mark; }) > 0;
        giveLargeSlab(slab);
      }
    }
  };
  std::vector<int> wrong(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back(churn, static_cast<unsigned char>(t + 1), &wrong[t]);
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < 4; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t << " shared a slab";
}
#endif
