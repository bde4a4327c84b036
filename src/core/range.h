// The range query's walk: every level-0 node whose corner lies in the closed
// box between two corners, met in increasing Morton order of its key.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

#include "core/tree.h"

namespace zell {

template <int D>
struct Window {
  Key<D> origin;                    // key of the minimum corner
  std::array<int64_t, D> extent{};  // cells per axis; may be negative

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
    Key<D> last = tree.keyOf(hi);
    for (int i = 0; i < D; ++i) w.extent[i] = static_cast<int64_t>(last[i] + 1 - w.origin[i]);
    return w;
  }
};

// Calls store(index, payload) for every level-0 node whose corner lies in
// [lo, hi] on every axis, with its grid index (key minus the window's
// origin) and the payload in effect there (its own, else the default, else
// null). Only subtrees that overlap the box are entered; a root at level 0
// is read as the single level-0 cell it is.
template <int D>
class WindowWalk {
 public:
  WindowWalk(const Tree<D>& tree, const Coord<D>& lo, const Coord<D>& hi, const Window<D>& w)
      : tree_(tree), lo_(lo), hi_(hi), window_(w), fallback_(tree.defaultCell->payload.get()) {}

  template <class Store>
  void run(Store&& store) {
    visit(tree_.root, tree_.anchor, tree_.depth, store);
  }

 private:
  template <class Store>
  void visit(const Node<D>* node, const Coord<D>& corner, int64_t level, Store& store) {
    double edge = tree_.sizes[static_cast<size_t>(level)];
    for (int i = 0; i < D; ++i)  // closed on both ends: touching overlaps
      if (corner[i] + edge < lo_[i] || hi_[i] < corner[i]) return;
    if (level == 0) {
      if (!cornerInBox(corner)) return;
      void* data = node->data.has() ? node->data.get() : fallback_;
      store(indexOf(corner), data);
      return;
    }
    if (!node->children) return;
    // The children are visited next: start fetching them now.
    for (int c = 0; c < ChildSet<D>::kCount; ++c) __builtin_prefetch(node->children->child(c));
    double half = tree_.sizes[static_cast<size_t>(level - 1)];
    for (int c = 0; c < ChildSet<D>::kCount; ++c) {
      Coord<D> child = corner;
      for (int i = 0; i < D; ++i) child[i] += static_cast<double>((c >> i) & 1) * half;
      visit(node->children->child(c), child, level - 1, store);
    }
  }

  bool cornerInBox(const Coord<D>& corner) const {
    for (int i = 0; i < D; ++i)
      if (corner[i] < lo_[i]) return false;
    return true;
  }

  std::array<int64_t, D> indexOf(const Coord<D>& corner) const {
    Key<D> key = tree_.keyOf(corner);
    std::array<int64_t, D> index;
    for (int i = 0; i < D; ++i) {
      index[i] = static_cast<int64_t>(key[i] - window_.origin[i]);
      if (index[i] < 0 || index[i] >= window_.extent[i]) raiseIndex(index[i], window_.extent[i] - 1);
    }
    return index;
  }

  const Tree<D>& tree_;
  Coord<D> lo_, hi_;
  Window<D> window_;
  void* fallback_;
};

}  // namespace zell
