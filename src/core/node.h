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
struct Node;

template <int D>
struct ChildSet {
  static constexpr int kCount = 1 << D;
  Node<D>* at[kCount];
};

template <int D>
struct Node {
  Payload data;
  ChildSet<D>* children = nullptr;  // absent, or all 2^D children
};

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
    if (free_) {
      void* block = free_;
      free_ = free_->next;
      return block;
    }
    if (used_ == capacity_) addSlab();
    return slabs_->blocks + Size * used_++;
  }
  void give(void* block) { free_ = new (block) FreeBlock{free_}; }

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

// Owns every node of one tree.
template <int D>
class NodeStore {
 public:
  Node<D>* newNode() { return new (nodes_.take()) Node<D>(); }

  // Gives `node` a complete set of 2^D empty children, made in index order;
  // when `kept` is given it takes the place of child `keptAt`.
  void addChildren(Node<D>& node, int keptAt = -1, Node<D>* kept = nullptr) {
    auto* set = static_cast<ChildSet<D>*>(sets_.take());
    int made = 0;
    try {
      for (; made < ChildSet<D>::kCount; ++made) set->at[made] = made == keptAt ? kept : newNode();
    } catch (...) {
      while (made > 0)
        if (--made != keptAt) deleteNode(set->at[made]);
      sets_.give(set);
      throw;
    }
    node.children = set;
  }

  // Releases a node and its subtree: children in index order, then its own
  // payload. (A child set being loaded may still have gaps.)
  void deleteNode(Node<D>* node) {
    if (ChildSet<D>* set = node->children) {
      for (Node<D>* child : set->at)
        if (child) deleteNode(child);
      sets_.give(set);
    }
    node->~Node();
    nodes_.give(node);
  }
  // A child set with every slot empty, to be filled by a load.
  ChildSet<D>* newEmptyChildSet() {
    auto* set = static_cast<ChildSet<D>*>(sets_.take());
    for (Node<D>*& child : set->at) child = nullptr;
    return set;
  }

 private:
  SlabPool<sizeof(Node<D>)> nodes_;
  SlabPool<sizeof(ChildSet<D>)> sets_;
};

}  // namespace zell
