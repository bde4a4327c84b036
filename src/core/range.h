// The range query's walk: every level-0 node whose cell the window takes,
// met in increasing Morton order of its key. The walk carries integer keys
// down the tree, so a node's place in the grid is its key minus the
// window's origin, exactly, whatever the cell size and the anchor.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/tree.h"
#include "runtime/interrupts.h"

namespace zell {

template <int D>
struct Window {
  Key<D> origin{};                  // key of the minimum corner: grid index 0
  Key<D> first{};                   // per axis, the first key the window takes
  Key<D> last{};                    // key of the maximum corner
  std::array<int64_t, D> extent{};  // cells per axis, as the grid checks them
  bool takesNone = false;           // some axis takes no cell at all

  // Grows the tree to both corners (minimum first) and measures the window
  // with the final anchor.
  static Window open(Tree<D>& tree, const Coord<D>& lo, const Coord<D>& hi) {
    // A NaN corner names no cell: the window would have no meaning.
    for (int i = 0; i < D; ++i)
      if (std::isnan(lo[i]) || std::isnan(hi[i])) raiseValue("window corners must not be NaN");
    tree.growToContain(lo);
    tree.growToContain(hi);
    Window w;
    w.origin = tree.keyOf(lo);
    w.last = tree.keyOf(hi);
    Coord<D> originCorner = tree.keyToCoord(w.origin);
    for (int i = 0; i < D; ++i) {
      w.extent[i] = cellCount(w.origin[i], w.last[i]);
      // The window takes the cells whose corners lie between the two
      // corners: a minimum corner strictly inside its cell leaves that cell
      // (grid index 0) at the default.
      bool skipOrigin = originCorner[i] < lo[i];
      if (skipOrigin && w.origin[i] == UINT64_MAX) w.takesNone = true;
      w.first[i] = w.origin[i] + (skipOrigin ? 1 : 0);
      if (w.first[i] > w.last[i]) w.takesNone = true;
    }
    return w;
  }

  // Cells from `origin` to `last` on one axis, as the signed count the grid
  // checks: 0 when the maximum corner's cell lies just below the origin's,
  // negative for any window more inverted than that. A count of 2^63 or
  // more is no list length either and reads as negative too: both are
  // refused as out of range instead of wrapping.
  static int64_t cellCount(uint64_t origin, uint64_t last) {
    if (last < origin) return last + 1 == origin ? 0 : -1;
    if (last - origin >= static_cast<uint64_t>(INT64_MAX)) return -1;
    return static_cast<int64_t>(last - origin + 1);
  }
};

// Calls store(index, object) for every level-0 node that the window takes
// and that holds a payload of its own, with its grid index; every other
// cell keeps the default the grid was filled with. Only subtrees that
// overlap the window are entered; a root at level 0 is read as the single
// level-0 cell it is.
//
// The walk asks for interrupts as it goes, and the program's signal
// handlers may then change the tree: the walk holds it as a NodeWalk, so
// whatever a load detaches stays alive until the walk ends, and it goes on
// through the nodes as they were when it met them.
template <int D>
class WindowWalk {
 public:
  WindowWalk(Tree<D>& tree, const Window<D>& window) : tree_(tree), window_(window) {}

  // A dense window is walked in bands along axis 0, the outermost axis of
  // the result, each small enough that its part of the result (and payloads
  // made in the same order) stays in the cache while the band is filled:
  // within a band the walk goes in Morton order, band after band in the
  // order of the result. Every band walk starts at the root again, which
  // costs little where the cells are full and much where they are few: when
  // the first band finds its cells mostly empty, the rest is walked at once.
  // A store that builds nothing in the order of the result (`banded` false)
  // has the whole window walked at once.
  template <class Store>
  void run(Store&& store, bool banded = true) {
    if (window_.takesNone) return;
    NodeWalk<D> walk(tree_);
    const Node<D>* root = tree_.root;
    int64_t depth = tree_.depth;
    // A load keeps the root node and gives it new children. Every band
    // starts from the children the root had when the walk began (a load
    // parks them until the walk ends), so that the whole walk reads one
    // tree, the one whose geometry the window was measured in.
    Children<D> top = depth > 0 ? root->children : Children<D>();
    first_ = window_.first;
    last_ = window_.last;
    uint64_t band = banded ? bandHeight() : UINT64_MAX;
    for (uint64_t from = window_.first[0];; from = last_[0] + 1) {
      first_[0] = from;
      last_[0] = window_.last[0] - from < band ? window_.last[0] : from + band - 1;
      if (band != UINT64_MAX || !visitLevels(top, depth, store)) visitRoot(root, top, depth, store);
      if (last_[0] == window_.last[0]) return;
      if (stored_ * 8 < kBandCells) band = UINT64_MAX;
    }
  }

 private:
  static constexpr uint64_t kBandCells = 4096;  // cells of the result per band

  // False when the node at `key` and `level` lies outside the band; else
  // `inside` tells whether it lies inside on every axis, so that none of
  // its subtree needs checking.
  bool overlaps(const Key<D>& key, int64_t level, bool& inside) const {
    if (inside) return true;
    // The node covers the keys key .. key + span on every axis.
    uint64_t span = level >= 64 ? UINT64_MAX : (uint64_t{1} << level) - 1;
    inside = true;
    for (int i = 0; i < D; ++i) {
      if (key[i] > last_[i] || key[i] + span < first_[i]) return false;
      inside &= first_[i] <= key[i] && key[i] + span <= last_[i];
    }
    return true;
  }

  // The root, a level-0 cell itself in a tree of depth 0, else `top`.
  template <class Store>
  void visitRoot(const Node<D>* root, Children<D> top, int64_t depth, Store& store) {
    poll_.step();
    if (depth > 0) return visitSet(top, Key<D>{}, depth, false, store);
    bool inside = false;
    if (overlaps(Key<D>{}, 0, inside) && root->data.has())
      store(indexOf(Key<D>{}), root->data.get()), ++stored_;
  }

  // A node at level 1 or above, and what lies below it. Its children are
  // read after the walk has asked for interrupts: code run then may have
  // given it some.
  template <class Store>
  void visit(const Node<D>* node, const Key<D>& key, int64_t level, bool inside, Store& store) {
    poll_.step();
    visitSet(node->children, key, level, inside, store);
  }
  // The children `set` of the node at `key` and `level` (1 or above).
  template <class Store>
  void visitSet(Children<D> set, const Key<D>& key, int64_t level, bool inside, Store& store) {
    if (!set || !overlaps(key, level, inside) || walkedBefore(key, level)) return;
    if (level == 1) return visitCells(set, key, inside, store);
    // The children lie at level 1 or above, where only a child with
    // children of its own leads to cells: the others, most of a sparse
    // tree, are passed over, and the sets of the rest are fetched first.
    // Whether a child has children is read when the walk reaches it: code
    // run while an earlier sibling was walked may have given it some.
    for (int c = 0; c < ChildSet<D>::kCount; ++c)
      if (Children<D> below = set.child(c)->children) __builtin_prefetch(below.set());
    uint64_t half = uint64_t{1} << (level - 1);
    for (int c = 0; c < ChildSet<D>::kCount; ++c) {
      const Node<D>* child = set.child(c);
      if (child->children) visit(child, childKey<D>(key, c, half), level - 1, inside, store);
    }
  }

  // A child set met by the walk by levels, with its parent's key.
  struct Pending {
    Children<D> set;
    Key<D> key;
    bool inside;
  };

  // The same walk taken a level at a time, for windows whose cells are
  // mostly empty: every set of a level is known before the first is read,
  // so each is fetched well ahead of its turn, where a walk in depth meets
  // its cache misses one after another. Within a level the sets come in
  // the order of their parents, so cells are still met in Morton order.
  //
  // Nodes of the levels above are all behind such a walk, so a subtree
  // that code run by the walk adds anywhere would be missed. When the tree
  // gains nodes, the walk stops and returns false; the walk in depth then
  // takes over behind the last set of cells taken (resume_), and meets
  // every node when it reaches it.
  template <class Store>
  bool visitLevels(Children<D> top, int64_t depth, Store& store) {
    bool inside = false;
    if (!top || !overlaps(Key<D>{}, depth, inside)) return false;  // no top at depth 0
    size_t shape = tree_.store.count();
    std::vector<Pending> level{{top, Key<D>{}, inside}}, below;
    for (int64_t at = depth - 1; !level.empty() && level[0].set; --at) {
      below.clear();
      if (at > 0)  // the last level takes cells and leaves no sets
        below.reserve(std::min(level.size() * ChildSet<D>::kCount, kMostPending + ChildSet<D>::kCount));
      for (size_t i = 0; i < level.size(); ++i) {
        if (i + kAhead < level.size()) __builtin_prefetch(level[i + kAhead].set.set());
        Pending p = level[i];
        if (at == 0) {
          // The payloads, which the store is about to count, are fetched
          // too, from sets that arrived a while ago.
          if (i + kAhead / 2 < level.size()) prefetchPayloads(level[i + kAhead / 2].set);
          visitCells(p.set, p.key, p.inside, store);
          if (tree_.store.count() != shape) return resumeAfter(p.key);
          continue;
        }
        // The set's children are read after the walk has asked for
        // interrupts: code run then may have given them some.
        poll_.step(ChildSet<D>::kCount);
        uint64_t half = uint64_t{1} << at;
        for (int c = 0; c < ChildSet<D>::kCount; ++c) {
          // Most children in a sparse tree have no children of their own:
          // their keys are not even worked out.
          Children<D> set = p.set.child(c)->children;
          if (!set) continue;
          Key<D> key = childKey<D>(p.key, c, half);
          bool childInside = p.inside;
          if (overlaps(key, at, childInside)) below.push_back(Pending{set, key, childInside});
        }
        // No cell is taken yet: the walk in depth does the rest where code
        // changed the tree, and where the window is full enough after all
        // that holding a level of it would take much memory.
        if (tree_.store.count() != shape || below.size() > kMostPending) return false;
      }
      level.swap(below);
    }
    return true;
  }

  // The walk in depth passes over the level-1 nodes up to `key` in Morton
  // order, whose cells the walk by levels took.
  bool resumeAfter(const Key<D>& key) {
    resuming_ = true;
    resume_ = key;
    return false;
  }
  // Whether every level-1 node below the node at `key` and `level` (1 or
  // above) was walked before, by the walk by levels.
  bool walkedBefore(const Key<D>& key, int64_t level) const {
    if (!resuming_) return false;
    Key<D> last = key;  // the node's last level-1 node
    uint64_t reach = level >= 64 ? UINT64_MAX - 1 : (uint64_t{1} << level) - 2;
    for (int i = 0; i < D; ++i) last[i] += reach;
    return !mortonBefore(resume_, last);
  }
  // Morton order: the axis with the highest differing bit decides, and at
  // equal bits the higher axis (child numbers put axis 0 lowest).
  static bool mortonBefore(const Key<D>& a, const Key<D>& b) {
    int axis = -1;
    uint64_t highest = 0;
    for (int i = 0; i < D; ++i) {
      uint64_t differ = a[i] ^ b[i];
      if (differ && !(differ < highest && differ < (differ ^ highest))) {
        axis = i;
        highest = differ;
      }
    }
    return axis >= 0 && a[axis] < b[axis];
  }
  static constexpr size_t kAhead = 16;           // sets fetched ahead of the one read
  static constexpr size_t kMostPending = 65536;  // sets of one level held at most

  static void prefetchPayloads(Children<D> set) {
    for (int c = 0; c < ChildSet<D>::kCount; ++c)
      if (void* object = set.child(c)->data.get()) __builtin_prefetch(object, 1);
  }

  // The level-0 children of a node at level 1, most of the nodes a dense
  // window meets, taken in one loop.
  template <class Store>
  void visitCells(Children<D> set, const Key<D>& key, bool inside, Store& store) {
    poll_.step(ChildSet<D>::kCount);
    for (int c = 0; c < ChildSet<D>::kCount; ++c) {
      Key<D> cell = childKey<D>(key, c, 1);
      bool taken = inside;
      if (!taken) {
        taken = true;
        for (int i = 0; i < D; ++i) taken &= first_[i] <= cell[i] && cell[i] <= last_[i];
      }
      const Node<D>* node = set.child(c);
      if (taken && node->data.has()) store(indexOf(cell), node->data.get()), ++stored_;
    }
  }

  // Rows of axis 0 per band: about kBandCells cells of the result.
  uint64_t bandHeight() const {
    uint64_t slice = 1;  // cells of one step along axis 0
    for (int i = 1; i < D; ++i) {
      uint64_t cells = window_.last[i] - window_.first[i] + 1;
      if (cells == 0 || slice > kBandCells / cells) return 1;
      slice *= cells;
    }
    return kBandCells / slice;
  }

  std::array<int64_t, D> indexOf(const Key<D>& key) const {
    std::array<int64_t, D> index;
    for (int i = 0; i < D; ++i) index[i] = static_cast<int64_t>(key[i] - window_.origin[i]);
    return index;
  }

  Tree<D>& tree_;
  const Window<D>& window_;
  Key<D> first_{}, last_{};  // the band being walked
  uint64_t stored_ = 0;      // payloads stored so far
  bool resuming_ = false;    // the walk in depth takes over from the one by levels
  Key<D> resume_{};
  InterruptPoll poll_;
};

}  // namespace zell
