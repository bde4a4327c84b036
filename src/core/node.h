// Nodes and their storage. A node is two words: its payload and its child
// set. A child set is one block of 2^D node references, so every node keeps
// its address for life (growth and child creation never move a node, and
// climbers may stand on any of them). Nodes and child sets come from
// per-tree slab pools: no per-node allocator header, and a whole tree is
// returned to the system in a few large frees.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/payload.h"
#include "runtime/aligned.h"

namespace zell {

template <int D>
struct Node;

// A node's children, stored in the set itself: a walk takes one step in
// memory per level, and a node costs its 16 bytes. A set is exactly its
// 2^D nodes, aligned so that a walk reads one cache line per level (two
// from D = 3 on).
template <int D>
struct alignas(D == 1 ? 32 : 64) ChildSet {
  static constexpr int kCount = 1 << D;
  Node<D> nodes[kCount];
};

// The one exception is the place where growth puts the former root: that
// node stays where it is (climbers may stand on it), and its parent's set
// only refers to it. Such sets are rare (one per growth step) and carry the
// reference after their nodes; the slot it replaces stays unused.
template <int D>
struct ForeignChildSet {
  ChildSet<D> set;
  Node<D>* foreign;  // the former root
  int foreignAt;     // its child number
};

// The reference from a node to its child set: one word, whose lowest bit
// marks a set with a former root, so that an ordinary step down reads no
// header, only the child itself.
template <int D>
class Children {
 public:
  Children() = default;
  Children(std::nullptr_t) {}
  explicit Children(ChildSet<D>* set) : word_(reinterpret_cast<uintptr_t>(set)) {}
  explicit Children(ForeignChildSet<D>* set) : word_(reinterpret_cast<uintptr_t>(set) | kForeign) {}

  explicit operator bool() const { return word_ != 0; }
  bool operator!() const { return word_ == 0; }

  Node<D>* child(int i) const {
    if (word_ & kForeign) {
      ForeignChildSet<D>* f = foreignSet();
      if (i == f->foreignAt) return f->foreign;
    }
    return &reinterpret_cast<ChildSet<D>*>(word_ & ~kForeign)->nodes[i];
  }
  // The set that holds the children, and its former root when it has one.
  ChildSet<D>* set() const { return reinterpret_cast<ChildSet<D>*>(word_ & ~kForeign); }
  ForeignChildSet<D>* foreignSet() const {
    return word_ & kForeign ? reinterpret_cast<ForeignChildSet<D>*>(word_ & ~kForeign) : nullptr;
  }

 private:
  static constexpr uintptr_t kForeign = 1;
  uintptr_t word_ = 0;
};

template <int D>
struct Node {
  Payload data;
  Children<D> children;  // absent, or all 2^D children
};

// Under AddressSanitizer every block is an allocation of its own, so that a
// node used after its release is reported instead of reading a reused block.
#if defined(__SANITIZE_ADDRESS__) && !defined(ZELL_POOL_BYPASS)
#define ZELL_POOL_BYPASS 1
#endif
#ifdef ZELL_POOL_BYPASS
inline constexpr bool kPoolBypass = true;
#else
inline constexpr bool kPoolBypass = false;
#endif

// Fixed-size blocks carved from large slabs, with a free list for blocks
// given back. Not thread-safe: trees are used under the interpreter lock.
// `Bypass` hands out single allocations instead (the default under
// AddressSanitizer); the pool's own tests turn it off.
template <size_t Size, size_t Align = alignof(std::max_align_t), bool Bypass = kPoolBypass>
class SlabPool {
  static_assert(Size >= sizeof(void*), "a free block holds the free-list link");
  static_assert(Size % Align == 0, "every block keeps the alignment");

 public:
  SlabPool() = default;
  SlabPool(const SlabPool&) = delete;
  SlabPool& operator=(const SlabPool&) = delete;
  ~SlabPool() {
    while (slabs_) {
      Slab* next = slabs_->next;
      release(slabs_);
      slabs_ = next;
    }
  }

  void* take() {
    if constexpr (Bypass) return allocateAligned(Size, Align);
    if (free_) {
      void* block = free_;
      free_ = free_->next;
      return block;
    }
    if (used_ == capacity_) addSlab();
    return slabs_->blocks + Size * used_++;
  }
  void give(void* block) {
    if constexpr (Bypass) return freeAligned(block);
    free_ = new (block) FreeBlock{free_};
  }

  // Calls visit(start, bytes) for every slab, newest first: the memory the
  // pool holds, which every block it hands out lies in.
  template <class Visit>
  void forEachSlab(Visit visit) const {
    for (const Slab* slab = slabs_; slab; slab = slab->next)
      visit(static_cast<const void*>(slab), slab->bytes);
  }

  // A full-size slab: its bytes and its alignment.
  static constexpr size_t kLargeSlab = kLargeSlabBytes;

 private:
  struct FreeBlock {
    FreeBlock* next;
  };
  struct Slab {
    Slab* next;
    size_t bytes;  // the whole slab, header included
    alignas(Align) unsigned char blocks[1];
  };
  // Slabs double up to 2 MiB: small trees stay small, big ones pay one
  // allocation per thousands of blocks. A walk down a big tree meets a new
  // page at nearly every level, so full-size slabs are pages of their own,
  // aligned to their size, for which the system is asked to use huge
  // pages where it offers them: one translation then covers a whole slab.
  // Such slabs given back serve the next tree (takeLargeSlab).
  void addSlab() {
    size_t count = capacity_ ? capacity_ * 2 : 8;
    size_t bytes = offsetof(Slab, blocks) + count * Size;
    bool large = bytes >= kLargeSlab;
    if (large) {
      count = (kLargeSlab - offsetof(Slab, blocks)) / Size;
      bytes = kLargeSlab;
    }
    void* place = large ? takeLargeSlab() : allocateAligned(bytes, alignof(Slab));
    slabs_ = new (place) Slab{slabs_, bytes, {}};
    capacity_ = count;
    used_ = 0;
  }
  static void release(Slab* slab) {
    if (slab->bytes == kLargeSlab)
      giveLargeSlab(slab);
    else
      freeAligned(slab);
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
    if (kept) {
      auto* set = new (foreignSets_.take()) ForeignChildSet<D>{ChildSet<D>(), kept, keptAt};
      node.children = Children<D>(set);
    } else {
      node.children = Children<D>(newSet());
    }
    count_ += ChildSet<D>::kCount - (kept ? 1 : 0);
  }

  // Releases `node`'s children, each with its subtree; the node stays.
  void removeChildren(Node<D>& node) { releaseSubtree(node); }

  // Releases a node made by newNode and its subtree.
  void deleteNode(Node<D>* node) {
    if (!releaseByLevels(*node)) releaseSubtree(*node);
    node->~Node();
    nodes_.give(node);
    --count_;
  }

 private:
  static constexpr int kCount = ChildSet<D>::kCount;
  using Mask = std::conditional_t<(kCount > 16), uint32_t, uint16_t>;

  // A child set met by releaseByLevels: which of its nodes have children
  // and which hold a payload.
  struct SetRecord {
    Children<D> children;
    Mask withChildren = 0;
    Mask withPayload = 0;
  };
  // The sets of a subtree a level at a time; within a level in the order of
  // their parents, as a walk in depth meets them too. A level's payloads
  // follow one another in the same order.
  struct Levels {
    std::vector<SetRecord> sets;
    // Of each level, the set and payload a walk in depth meets next there;
    // at first the level's first ones.
    std::vector<size_t> nextSet, nextPayload;
    std::vector<void*> objects;
  };

  // As releaseSubtree, with the payloads released in the same order, for
  // subtrees of any size. A walk in depth waits on every set in turn (the
  // path down to a lone cell is a chain of them); here the sets are met a
  // level at a time, each fetched well ahead of its turn: once to note
  // their shape, once to take their payloads and give them back. Only then
  // are the payloads released, which may run code. The notes take 16 bytes
  // a set. False, with nothing changed, when they cannot be allocated.
  bool releaseByLevels(Node<D>& top) {
    if (!top.children) return true;
    Levels levels;
    try {
      noteLevels(top.children, levels);
    } catch (const std::bad_alloc&) {
      return false;
    }
    top.children = nullptr;
    std::vector<SetRecord>& sets = levels.sets;
    for (size_t k = 0; k < sets.size(); ++k) {
      prefetchAhead(sets, k);
      for (int i = 0; i < kCount; ++i)
        if ((sets[k].withPayload >> i) & 1) levels.objects.push_back(sets[k].children.child(i)->data.take());
      giveBack(sets[k].children);
    }
    releaseInOrder(levels, 0);
    return true;
  }
  static void noteLevels(Children<D> top, Levels& levels) {
    std::vector<SetRecord>& sets = levels.sets;
    sets.push_back(SetRecord{top});
    size_t payloads = 0;
    for (size_t begin = 0, end = 1; begin < end; begin = end, end = sets.size()) {
      levels.nextSet.push_back(begin);
      levels.nextPayload.push_back(payloads);
      for (size_t k = begin; k < end; ++k) {
        prefetchAhead(sets, k);
        SetRecord noted{sets[k].children};
        for (int i = 0; i < kCount; ++i) {
          const Node<D>* node = noted.children.child(i);
          if (node->children) {
            noted.withChildren |= static_cast<Mask>(1u << i);
            sets.push_back(SetRecord{node->children});
          }
          if (node->data.has()) {
            noted.withPayload |= static_cast<Mask>(1u << i);
            ++payloads;
          }
        }
        sets[k] = noted;
      }
    }
    levels.objects.reserve(payloads);
  }
  static void prefetchAhead(const std::vector<SetRecord>& sets, size_t k) {
    constexpr size_t kAhead = 16;
    if (k + kAhead >= sets.size()) return;
    const char* set = reinterpret_cast<const char*>(sets[k + kAhead].children.set());
    for (size_t line = 0; line < sizeof(ChildSet<D>); line += 64) __builtin_prefetch(set + line);
  }
  // Gives back a set whose nodes hold no payload and whose subtrees are
  // noted: the former root it may refer to, then the set.
  void giveBack(Children<D> children) {
    if (ForeignChildSet<D>* foreign = children.foreignSet()) {
      foreign->foreign->~Node();
      nodes_.give(foreign->foreign);
      --count_;
    }
    giveBackSet(children);
  }
  // Gives back a set whose nodes are released, without the former root it
  // may refer to.
  void giveBackSet(Children<D> children) {
    ForeignChildSet<D>* foreign = children.foreignSet();
    count_ -= kCount - (foreign ? 1 : 0);
    if (foreign) {
      foreign->~ForeignChildSet();
      foreignSets_.give(foreign);
    } else {
      ChildSet<D>* set = children.set();
      set->~ChildSet();
      sets_.give(set);
    }
  }
  // The payloads below the next set of `level`: each node's subtree first,
  // then its own. The next set of a level is always the one a walk in
  // depth meets next there.
  static void releaseInOrder(Levels& levels, size_t level) {
    const SetRecord& set = levels.sets[levels.nextSet[level]++];
    for (int i = 0; i < kCount; ++i) {
      if ((set.withChildren >> i) & 1) releaseInOrder(levels, level + 1);
      if ((set.withPayload >> i) & 1) payloadHooks.release(levels.objects[levels.nextPayload[level]++]);
    }
  }

  // Releases the children in index order, each with its subtree and then
  // its payload. Code run by a release sees the nodes still to go.
  void releaseSubtree(Node<D>& node) {
    Children<D> children = node.children;
    if (!children) return;
    node.children = nullptr;
    ForeignChildSet<D>* foreign = children.foreignSet();
    ChildSet<D>* set = children.set();
    for (int i = 0; i < ChildSet<D>::kCount; ++i) {
      if (foreign && i == foreign->foreignAt) {
        deleteNode(foreign->foreign);
        continue;
      }
      releaseSubtree(set->nodes[i]);
      set->nodes[i].data.clear();
    }
    giveBackSet(children);
  }

  // A set of empty nodes, made node by node: a set built as a whole is
  // zeroed by a string instruction, whose start-up costs more than the
  // stores of its few nodes, and trees are built a set at a time.
  ChildSet<D>* newSet() {
    void* block = sets_.take();
    makeNodes(static_cast<Node<D>*>(block), std::make_index_sequence<ChildSet<D>::kCount>{});
    return std::launder(static_cast<ChildSet<D>*>(block));
  }
  template <size_t... I>
  static void makeNodes(Node<D>* nodes, std::index_sequence<I...>) {
    (new (nodes + I) Node<D>(), ...);
  }

  size_t count_ = 0;
  SlabPool<sizeof(Node<D>)> nodes_;
  SlabPool<sizeof(ChildSet<D>), alignof(ChildSet<D>)> sets_;
  SlabPool<sizeof(ForeignChildSet<D>), alignof(ForeignChildSet<D>)> foreignSets_;
};

}  // namespace zell
