// Many points in one call, each taken as a single call would take it, in
// order: the growth it makes at its turn, its key, its node. Everything a
// call could refuse is worked out before the tree changes, and the walks to
// the points' nodes run many at a time, so that their waits on memory
// overlap instead of coming one after another.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "core/tree.h"

namespace zell {

// Where the points of a call come from, read a block at a time.
template <int D>
class PointSource {
 public:
  virtual ~PointSource() = default;
  virtual size_t size() const = 0;
  // Points first .. first + count - 1, in order.
  virtual void read(size_t first, size_t count, Coord<D>* out) const = 0;
};

// Points in blocks, read from a source in order.
template <int D>
class PointBlocks {
 public:
  static constexpr size_t kBlock = 64;
  explicit PointBlocks(const PointSource<D>& source) : source_(source) {}
  bool more() const { return next_ < source_.size(); }
  // The next block; `count` points.
  const Coord<D>* next(size_t& count) {
    count = std::min(kBlock, source_.size() - next_);
    source_.read(next_, count, block_);
    next_ += count;
    return block_;
  }

 private:
  const PointSource<D>& source_;
  size_t next_ = 0;
  Coord<D> block_[kBlock];
};

// What taking the points in order does to a tree, worked out while it stays
// as it is: the growth that each point makes at its turn, as single calls
// would make it; construction refuses as the first single call that would
// refuse. Each point's key is then that of coordToKey at its turn, and
// since growth never moves a node, its node is found from the grown tree's
// root by that key shifted by the growth that came after its turn.
template <int D>
class PointPlan {
 public:
  PointPlan(const Tree<D>& tree, const PointSource<D>& points) : tree_(tree), start_(tree.rootCube()) {
    RootCube<D> cube = start_;
    double edge = tree.edgeAt(cube.depth);
    for (PointBlocks<D> blocks(points); blocks.more();) {
      size_t count;
      const Coord<D>* block = blocks.next(count);
      for (size_t k = 0; k < count; ++k) {
        if (Tree<D>::inside(cube.anchor, edge, block[k])) continue;
        tree.planGrowth(block[k], cube, steps_);
        edge = tree.edgeAt(cube.depth);
      }
    }
    // A growth step taken with the root at level l puts the old root in the
    // upper half of the new one on the axes of its child number: its keys
    // grow by 2^l there.
    shifts_[steps_.count] = Key<D>{};
    for (int s = steps_.count - 1; s >= 0; --s) {
      shifts_[s] = shifts_[s + 1];
      for (int i = 0; i < D; ++i)
        if ((steps_.below[s] >> i) & 1) shifts_[s][i] += uint64_t{1} << (start_.depth + s);
    }
  }

  const GrowthSteps& steps() const { return steps_; }

  // Goes through the points in order again, taking each planned step at
  // the point that took it.
  class Turns {
   public:
    explicit Turns(const PointPlan& plan) : plan_(plan), cube_(plan.start_), edge_(edgeOf(cube_)) {}
    // Moves to the turn of `p`, the next point.
    void take(const Coord<D>& p) {
      // The points are read again: never beyond the plan, whatever changed
      // them since.
      while (taken_ < plan_.steps_.count && !Tree<D>::inside(cube_.anchor, edge_, p)) {
        plan_.tree_.growCube(cube_, plan_.steps_.below[taken_++]);
        edge_ = edgeOf(cube_);
      }
    }
    // The key coordToKey gave at the turn.
    Key<D> keyAtTurn(const Coord<D>& p) const { return plan_.tree_.keyIn(cube_, p); }
    // That key in the tree grown by every planned step.
    Key<D> grownKey(const Coord<D>& p) const {
      Key<D> key = keyAtTurn(p);
      const Key<D>& shift = plan_.shifts_[taken_];
      for (int a = 0; a < D; ++a) key[a] += shift[a];
      return key;
    }
    // The root's level at the turn: a walk from that root ended there at
    // the latest.
    int64_t rootLevel() const { return cube_.depth; }

   private:
    double edgeOf(const RootCube<D>& cube) const { return plan_.tree_.edgeAt(cube.depth); }
    const PointPlan& plan_;
    RootCube<D> cube_;
    double edge_;
    int taken_ = 0;
  };

 private:
  const Tree<D>& tree_;
  RootCube<D> start_;
  GrowthSteps steps_;
  std::array<Key<D>, kMaxDepth + 1> shifts_;  // by steps taken: what the later steps add to a key
};

// The nodes of the top levels of a tree, found once for many walks, which
// then start below them instead of at the root: every walk passes the
// same few nodes near the root, and finding them again costs more than a
// lookup. An entry holds the node on its path `levels` levels below the
// root, or the deepest node above where the tree ends.
template <int D>
class TopLevels {
 public:
  // Entries enough for `walks` walks to pay for them, at most kMostEntries;
  // none for trees too shallow and walks that stop higher than `lowest`.
  TopLevels(const Tree<D>& tree, size_t walks, int64_t lowest) : depth_(tree.depth) {
    while (levels_ < depth_ - lowest && (size_t{2} << (D * levels_ + D - 1)) <= walks / 16 &&
           (size_t{1} << (D * (levels_ + 1))) <= kMostEntries)
      ++levels_;
    if (levels_ == 0) return;
    entries_.resize(size_t{1} << (D * levels_));
    for (size_t i = 0; i < entries_.size(); ++i) {
      Key<D> key{};
      for (int a = 0; a < D; ++a)
        key[a] = ((i >> (levels_ * a)) & ((uint64_t{1} << levels_) - 1)) << (depth_ - levels_);
      Entry& entry = entries_[i];
      entry.node = tree.root;
      for (entry.level = depth_; entry.level > depth_ - levels_ && entry.node->children; --entry.level)
        entry.node = entry.node->children.child(childOfKey<D>(key, entry.level));
    }
  }

  // Where a walk to a node at `stop` or below starts: the entry of its key
  // when that lies no lower than `stop`, else the root.
  void start(const Key<D>& key, int64_t stop, Node<D>*& node, int64_t& level, Node<D>* root) const {
    if (levels_ == 0 || stop > depth_ - levels_) {
      node = root;
      level = depth_;
      return;
    }
    size_t i = 0;
    for (int a = 0; a < D; ++a)
      i |= static_cast<size_t>((key[a] >> (depth_ - levels_)) & ((uint64_t{1} << levels_) - 1))
           << (levels_ * a);
    node = entries_[i].node;
    level = entries_[i].level;
  }

 private:
  static constexpr size_t kMostEntries = 4096;
  struct Entry {
    Node<D>* node;
    int64_t level;
  };
  int64_t depth_;
  int levels_ = 0;
  std::vector<Entry> entries_;
};

// Walks, in a tree grown by the plan's steps, to the node of each point at
// `target`, as getNodeByCoord (or, with kCreate, createNodeByCoord) did at
// the point's turn: the walk stops at the root of that time when `target`
// lies above it, and without kCreate where the tree ends. `visit(first,
// count, nodes)` takes the nodes of points first .. first + count - 1
// (count at most kPointsInFlight), in order.
//
// The walks run kPointsInFlight at a time, a level at a time: each takes
// one step in turn and fetches the node it steps to, which the next round
// reads. Nodes are never removed meanwhile, so a walk may start from any
// node on its path that existed before: created children are met below it.
constexpr size_t kPointsInFlight = 128;

template <int D, bool kCreate, class Visit>
void walkToPoints(Tree<D>& tree, const PointSource<D>& points, const PointPlan<D>& plan, uint64_t target,
                  Visit&& visit) {
  constexpr size_t kInFlight = kPointsInFlight;
  Node<D>* nodes[kInFlight];
  int64_t levels[kInFlight], stops[kInFlight];  // where each walk is, and where it ends
  Key<D> keys[kInFlight];
  Coord<D> block[kInFlight];
  int64_t lowestTarget =
      target < static_cast<uint64_t>(tree.depth) ? static_cast<int64_t>(target) : tree.depth;
  TopLevels<D> top(tree, points.size(), lowestTarget);
  typename PointPlan<D>::Turns turns(plan);
  for (size_t first = 0; first < points.size(); first += kInFlight) {
    size_t count = std::min(kInFlight, points.size() - first);
    points.read(first, count, block);
    int64_t highest = 0, lowest = tree.depth;
    for (size_t k = 0; k < count; ++k) {
      turns.take(block[k]);
      keys[k] = turns.grownKey(block[k]);
      int64_t turn = turns.rootLevel();
      stops[k] = target < static_cast<uint64_t>(turn) ? static_cast<int64_t>(target) : turn;
      top.start(keys[k], stops[k], nodes[k], levels[k], tree.root);
      highest = std::max(highest, levels[k]);
      lowest = std::min(lowest, stops[k]);
    }
    // The walks go down together, a level at a time.
    for (int64_t level = highest; level > lowest; --level) {
      for (size_t k = 0; k < count; ++k) {
        if (levels[k] != level || stops[k] >= level) continue;
        Children<D> children = nodes[k]->children;
        if (!children) {
          if (!kCreate) {
            stops[k] = level;
            continue;
          }
          tree.addChildren(*nodes[k]);
          children = nodes[k]->children;
        }
        nodes[k] = children.child(childOfKey<D>(keys[k], level));
        levels[k] = level - 1;
        __builtin_prefetch(nodes[k]);
      }
    }
    visit(first, count, static_cast<Node<D>* const*>(nodes));
  }
}

// Stores take(i), an object whose count is handed over, as the payload of
// point i's node at `target`, creating missing nodes, in order: where two
// points share a node the later one's object stays. The tree is grown by
// the plan's steps first. The payloads they replace go to `replaced`, for
// the caller to release once the tree is whole (releasing runs code).
//
// Where the walk fails halfway (memory for nodes runs out), every object
// stored goes back by untake(i, object) and every payload replaced returns
// to its node, latest first: the tree keeps the nodes it gained, growth
// included, and no payload changes. The note of each store, 8 bytes a
// point, is made room for before anything changes.
template <int D, class Take, class Untake>
void storeAtPoints(Tree<D>& tree, const PointSource<D>& points, const PointPlan<D>& plan, uint64_t target,
                   Take&& take, Untake&& untake, std::vector<Payload>& replaced) {
  // A node's address, its lowest bit set when the store replaced a payload.
  static_assert(alignof(Node<D>) > 1, "a node's address leaves its lowest bit free");
  std::vector<uintptr_t> stored;
  stored.reserve(points.size());
  tree.grow(plan.steps());
  try {
    walkToPoints<D, true>(tree, points, plan, target, [&](size_t first, size_t count, Node<D>* const* nodes) {
      for (size_t k = 0; k < count; ++k) {
        Payload& data = nodes[k]->data;
        bool replaces = data.has();
        if (replaces) {
          if (replaced.size() == replaced.capacity()) replaced.reserve(2 * replaced.size() + 16);
          replaced.emplace_back();
          replaced.back().swap(data);
        }
        stored.push_back(reinterpret_cast<uintptr_t>(nodes[k]) | uintptr_t{replaces});
        data.adopt(take(first + k));
      }
    });
  } catch (...) {
    for (size_t i = stored.size(); i-- > 0;) {
      Payload& data = reinterpret_cast<Node<D>*>(stored[i] & ~uintptr_t{1})->data;
      untake(i, data.take());
      if (stored[i] & 1) {
        data.swap(replaced.back());
        replaced.pop_back();
      }
    }
    throw;
  }
}

}  // namespace zell
