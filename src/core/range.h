// The range query's walk: every level-0 node whose cell the window takes,
// met in increasing Morton order of its key. The walk carries integer keys
// down the tree, so a node's place in the grid is its key minus the
// window's origin, exactly, whatever the cell size and the anchor.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "core/walk.h"

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

// Calls store(index, objects, count) for the level-0 nodes that the window
// takes, with the grid index of the first; objects[k] is the payload of a
// node, null where it holds none (its cell keeps the default the grid was
// filled with). A child set that lies inside the window comes whole: count
// is 2^D, and objects[c] is the payload of child c, at the index plus one
// on every axis whose bit c has. Other cells come one by one (count 1),
// only those that hold a payload. The objects are the nodes' own: a store
// that may run code holds every object it was handed before it does.
template <int D>
class WindowWalk {
 public:
  WindowWalk(Tree<D>& tree, const Window<D>& window) : tree_(tree), window_(window) {}

  // A dense window is walked in bands along axis 0, the outermost axis of
  // the result, each small enough that its part of the result (and payloads
  // made in the same order) stays in the cache while the band is filled:
  // within a band the walk goes in Morton order, band after band in the
  // order of the result. Each band is walked a level at a time where it can
  // be, so that the child sets and payloads it reads are fetched ahead of
  // their turn. Every band walk starts at the root again, which costs little
  // where the cells are full and much where they are few: when the first
  // band finds its cells mostly empty, the rest is walked at once. A store
  // that builds nothing in the order of the result (`banded` false) has the
  // whole window walked at once.
  //
  // Every band starts from the children the root had when the walk began
  // (a load gives the root new ones, and parks the old until the walk
  // ends), so that the whole walk reads one tree, the one whose geometry
  // the window was measured in.
  template <class Store>
  void run(Store&& store, bool banded = true) {
    if (window_.takesNone) return;
    TreeWalk<D, Code::MayRun> walk(tree_);
    Band<std::remove_reference_t<Store>> cells(window_, store);
    uint64_t band = banded ? bandHeight() : UINT64_MAX;
    for (uint64_t from = window_.first[0];; from = cells.last[0] + 1) {
      cells.first[0] = from;
      cells.last[0] = window_.last[0] - from < band ? window_.last[0] : from + band - 1;
      if (!walk.byLevels(cells)) walk.depthFirst(cells);
      if (cells.last[0] == window_.last[0]) return;
      if (cells.stored * 8 < kBandCells) band = UINT64_MAX;
    }
  }

 private:
  static constexpr uint64_t kBandCells = 4096;  // cells of the result per band

  // What the walk does at each node of one band: enters the nodes that
  // overlap the band, stores the cells it takes. The state tells whether
  // the node lies inside the band on every axis, so that none of its
  // subtree needs checking.
  template <class Store>
  struct Band : WalkVisitor<D> {
    using State = bool;
    static constexpr bool kMeetsBareNodes = false;
    Band(const Window<D>& window, Store& s)
        : first(window.first), last(window.last), origin(window.origin), store(s) {}

    bool enter(const Place<D>& at, bool& inside) {
      if (at.level > 0) return overlaps(at.key, at.level, inside);
      if (takes(at.key, inside) && at.node->data.has()) {
        void* object = at.node->data.get();
        store(indexOf(at.key), &object, 1);
        ++stored;
      }
      return false;
    }
    // Below a node inside the band, every node is entered with the same
    // state and every set of cells goes to takeCells.
    static bool takesAllBelow(bool inside) { return inside; }
    // A set inside the band, at least half full, is stored in one call,
    // which finds each row of the result once for the cells the set has in
    // it. The few payloads of a sparser set go one by one, as scattered
    // cells do.
    __attribute__((always_inline)) void takeCells(Children<D> set, const Key<D>& key) {
      constexpr int kCount = ChildSet<D>::kCount;
      void* objects[kCount];
      int held = 0;
      for (int c = 0; c < kCount; ++c) {
        objects[c] = set.child(c)->data.get();
        held += objects[c] != nullptr;
      }
      if (held * 2 >= kCount) {
        store(indexOf(key), objects, kCount);
        stored += held;
        return;
      }
      // Each payload is read again as its turn comes: storing an earlier
      // one may have run code that replaced it.
      for (int c = 0; c < kCount; ++c)
        if (void* object = set.child(c)->data.get()) {
          store(indexOf(childKey<D>(key, c, 1)), &object, 1);
          ++stored;
        }
    }
    // False when the node at `key` and `level` lies outside the band; else
    // `inside` tells whether it lies inside on every axis.
    bool overlaps(const Key<D>& key, int64_t level, bool& inside) const {
      if (inside) return true;
      // The node covers the keys key .. key + span on every axis.
      uint64_t span = level >= 64 ? UINT64_MAX : (uint64_t{1} << level) - 1;
      inside = true;
      for (int i = 0; i < D; ++i) {
        if (key[i] > last[i] || key[i] + span < first[i]) return false;
        inside &= first[i] <= key[i] && key[i] + span <= last[i];
      }
      return true;
    }
    // Whether the band takes the level-0 cell at `key`, whose parent lies
    // `inside` it or not.
    bool takes(const Key<D>& cell, bool inside) const {
      if (inside) return true;
      bool taken = true;
      for (int i = 0; i < D; ++i) taken &= first[i] <= cell[i] && cell[i] <= last[i];
      return taken;
    }
    std::array<int64_t, D> indexOf(const Key<D>& key) const {
      std::array<int64_t, D> index;
      for (int i = 0; i < D; ++i) index[i] = static_cast<int64_t>(key[i] - origin[i]);
      return index;
    }

    Key<D> first, last;  // the band
    Key<D> origin;       // the window's
    Store& store;
    uint64_t stored = 0;  // payloads stored so far
  };

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

  Tree<D>& tree_;
  const Window<D>& window_;
};

}  // namespace zell
