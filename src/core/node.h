// Nodes and their storage. A node is two words: its payload and its child
// set. A child set is one block of 2^D node references, so every node keeps
// its address for life (growth and child creation never move a node, and
// climbers may stand on any of them). Nodes and child sets come from
// per-tree slab pools: no per-node allocator header, and a whole tree is
// returned to the system in a few large frees.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>

#include "core/payload.h"

namespace zell {

template <int D>
struct ChildSet;

template <int D>
struct Node {
  Payload data;
  ChildSet<D>* children = nullptr;  // absent, or all 2^D children
};

// A node's children, stored in the set itself: a walk takes one step in
// memory per level, and a node costs its 16 bytes plus its share of the
// set's header. The one exception is the place where growth puts the
// former root: that node stays where it is (climbers may stand on it), and
// the set only refers to it.
template <int D>
struct ChildSet {
  static constexpr int kCount = 1 << D;
  Node<D>* foreign = nullptr;  // the former root, when growth placed one
  int foreignAt = -1;          // its child number
  Node<D> nodes[kCount];

  Node<D>* child(int i) { return i == foreignAt ? foreign : &nodes[i]; }
  const Node<D>* child(int i) const { return i == foreignAt ? foreign : &nodes[i]; }
};

// Under AddressSanitizer every block is an allocation of its own, so that a
// node used after its release is reported instead of reading a reused block.
#if defined(__SANITIZE_ADDRESS__) && !defined(ZELL_POOL_BYPASS)
#define ZELL_POOL_BYPASS 1
#endif

// Fixed-size blocks carved from large slabs, with a free list for blocks
// given back. Not thread-safe: trees are used under the interpreter lock.
template <size_t Size>
class SlabPool {
  static_assert(Size >= sizeof(void*), "a free block holds the free-list link");

 public:
  SlabPool() = default;
  SlabPool(const SlabPool&) = delete;
  SlabPool& operator=(const SlabPool&) = delete;
  ~SlabPool() {
    while (slabs_) {
      Slab* next = slabs_->next;
      std::free(slabs_);
      slabs_ = next;
    }
  }

  void* take() {
#ifdef ZELL_POOL_BYPASS
    void* single = std::malloc(Size);
    if (!single) throw std::bad_alloc();
    return single;
#endif
    if (free_) {
      void* block = free_;
      free_ = free_->next;
      return block;
    }
    if (used_ == capacity_) addSlab();
    return slabs_->blocks + Size * used_++;
  }
  void give(void* block) {
#ifdef ZELL_POOL_BYPASS
    return std::free(block);
#endif
    free_ = new (block) FreeBlock{free_};
  }

 private:
  struct FreeBlock {
    FreeBlock* next;
  };
  struct Slab {
    Slab* next;
    alignas(std::max_align_t) unsigned char blocks[1];
  };
  void addSlab() {
    // Slabs double up to 64 KiB: small trees stay small, big ones pay
    // one allocation per thousands of blocks.
    size_t count = capacity_ ? capacity_ * 2 : 8;
    if (count * Size > 65536) count = 65536 / Size;
    void* memory = std::malloc(offsetof(Slab, blocks) + count * Size);
    if (!memory) throw std::bad_alloc();
    slabs_ = new (memory) Slab{slabs_, {}};
    capacity_ = count;
    used_ = 0;
  }

  Slab* slabs_ = nullptr;
  FreeBlock* free_ = nullptr;
  size_t capacity_ = 0;
  size_t used_ = 0;
};

// Owns every node of one tree: the root and any former roots on their own,
// every other node inside its parent's child set.
template <int D>
class NodeStore {
 public:
  Node<D>* newNode() {
    ++count_;
    return new (nodes_.take()) Node<D>();
  }

  // How many nodes the tree holds.
  size_t count() const { return count_; }

  // Gives `node` a complete set of 2^D empty children; when `kept` is
  // given it takes the place of child `keptAt`.
  void addChildren(Node<D>& node, int keptAt = -1, Node<D>* kept = nullptr) {
    ChildSet<D>* set = new (sets_.take()) ChildSet<D>();
    count_ += ChildSet<D>::kCount - (kept ? 1 : 0);
    if (kept) {
      set->foreign = kept;
      set->foreignAt = keptAt;
    }
    node.children = set;
  }

  // Releases a node made by newNode and its subtree.
  void deleteNode(Node<D>* node) {
    releaseSubtree(*node);
    node->~Node();
    nodes_.give(node);
    --count_;
  }

 private:
  // Releases the children in index order, each with its subtree and then
  // its payload.
  void releaseSubtree(Node<D>& node) {
    ChildSet<D>* set = node.children;
    if (!set) return;
    node.children = nullptr;
    for (int i = 0; i < ChildSet<D>::kCount; ++i) {
      if (i == set->foreignAt) {
        deleteNode(set->foreign);
        continue;
      }
      releaseSubtree(set->nodes[i]);
      set->nodes[i].data.clear();
    }
    count_ -= ChildSet<D>::kCount - (set->foreignAt >= 0 ? 1 : 0);
    set->~ChildSet();
    sets_.give(set);
  }

  size_t count_ = 0;
  SlabPool<sizeof(Node<D>)> nodes_;
  SlabPool<sizeof(ChildSet<D>)> sets_;
};

}  // namespace zell
