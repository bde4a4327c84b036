// Walks over the nodes of a tree: the one way the core meets them, so that
// every walk keeps the same rules whatever it does at each node.
//
// Code may run inside a walk: a payload's encoding or copying, a finalizer
// run by the collector during an allocation, a signal handler run when the
// walk asks for interrupts. That code may reach the very tree walked: load
// into it (detaching its nodes), give nodes children, grow it, set
// payloads. A walk during which code may run therefore
//   - holds the tree and marks the walk (NodeWalk) from start to end: a load
//     parks the nodes it detaches until the walk is over, and a prune is
//     refused, so that no node the walk has reached is freed under it;
//   - takes the root, the depth and the root's children at its start, with
//     no code in between: a load keeps the root node and gives it children
//     of another depth;
//   - asks for interrupts as it goes, and reads a node's children right
//     after that question, when it meets the node; it then walks the
//     children it read, even if code run meanwhile changed the node.
// TreeWalk does all of this; a visitor only says what to do at each node it
// is handed. A walk during which no code runs (counting, the collector's
// traversal) uses the same walk without the hold, the mark and the
// questions. LevelSteps walks a step at a time, with code running between
// steps outside any walk: it holds the tree and stops once its shape
// changed.
#pragma once

#include <algorithm>
#include <type_traits>
#include <vector>

#include "core/tree.h"
#include "runtime/interrupts.h"

namespace zell {

// A node as a walk meets it.
template <int D>
struct Place {
  const Node<D>* node;
  // The children the walk goes into, read when it met the node. Level-0
  // nodes never have children: the walk does not read theirs.
  Children<D> children;
  int64_t level;
  Key<D> key;  // level-0 key of the node's minimum corner, from the node the walk started at
  int child;   // its number in its parent's set; -1 for the node the walk started at
};

// What a visitor of a TreeWalk provides; visitors derive from it and define
//   bool enter(const Place<D>& at, State& state)
// called once for every node met, in the order of a walk in depth with the
// children in the order of their numbers (for keys, Morton order). `state`
// arrives as the parent's enter left it (the walk's initial state for the
// node it starts at) and what enter leaves in it goes to the children. The
// walk goes into the node's children when enter returns true (for a level-0
// node it does not matter). enter reads the node's payload itself, when it
// needs it: code run at an earlier node may have replaced it.
template <int D>
struct WalkVisitor {
  struct State {};
  // Whether the walk meets the nodes above level 0 that have no children. A
  // walk that only takes cells passes over them unseen, without asking for
  // interrupts: they are most of the nodes of a sparse tree.
  static constexpr bool kMeetsBareNodes = true;
  // Called after the children of a node that enter went into, in depth
  // walks only.
  template <class State>
  void leave(const Place<D>&, State&) {}
  // Whether, below a node that enter left with `state`, enter would go into
  // every node with that same state and the visitor takes every set of
  // cells whole. The walk then calls no enter there: each set of cells below
  // goes to takeCells instead of being met cell by cell.
  template <class State>
  static bool takesAllBelow(const State&) {
    return false;
  }
  // Takes every cell of the child set of the level-1 node at `key` (only
  // where takesAllBelow said so).
  void takeCells(Children<D>, const Key<D>&) {}
};

// Whether code may run while the walk is under way.
enum class Code { MayRun, NeverRuns };

template <int D, Code kCode>
class WalkGuard;

// Holds the tree, marks the walk and asks for interrupts.
template <int D>
class WalkGuard<D, Code::MayRun> {
 public:
  using Walked = Tree<D>;
  explicit WalkGuard(Tree<D>& tree) : mark_(tree) {}
  void ask(int64_t steps) { poll_.step(steps); }

 private:
  NodeWalk<D> mark_;
  InterruptPoll poll_;
};

// Nothing to hold: no code runs, so nothing changes the tree.
template <int D>
class WalkGuard<D, Code::NeverRuns> {
 public:
  using Walked = const Tree<D>;
  explicit WalkGuard(const Tree<D>&) {}
  void ask(int64_t) {}
};

template <int D, Code kCode>
class TreeWalk {
 public:
  using Walked = typename WalkGuard<D, kCode>::Walked;

  // Starts the walk: the tree's root, depth and the root's children are
  // taken now. The caller takes the rest of what it needs from the tree
  // right after, before anything runs.
  explicit TreeWalk(Walked& tree)
      : tree_(tree),
        guard_(tree),
        root_(tree.root),
        depth_(tree.depth),
        top_(root_ && depth_ > 0 ? root_->children : Children<D>()) {}
  TreeWalk(const TreeWalk&) = delete;
  TreeWalk& operator=(const TreeWalk&) = delete;

  Walked& tree() const { return tree_; }
  const Node<D>* root() const { return root_; }
  int64_t depth() const { return depth_; }

  // Walks in depth from the root the walk started with. The root is met
  // first, with no question asked before it: right after the start its
  // payload is still the one of the tree the start took. A walk may go in
  // depth again (the window does, band after band), always from the root
  // children taken at the start.
  template <class Visitor>
  void depthFirst(Visitor& visitor, typename Visitor::State state = {}) {
    if (root_) meet(Place<D>{root_, top_, depth_, Key<D>{}, -1}, state, visitor);
  }
  // As depthFirst from another node at `level` that the walk keeps alive:
  // one parked by a load, or any node while no code runs.
  template <class Visitor>
  void depthFirstFrom(const Node<D>& node, int64_t level, Visitor& visitor,
                      typename Visitor::State state = {}) {
    meet(Place<D>{&node, level > 0 ? node.children : Children<D>(), level, Key<D>{}, -1}, state, visitor);
  }

  // The same walk taken a level at a time, for walks that take cells and
  // pass over bare nodes: every child set of a level is known before the
  // first is read, so each is fetched well ahead of its turn, where a walk
  // in depth meets its cache misses one after another. Within a level the
  // sets come in the order of their parents, so the cells are still met in
  // the order of a walk in depth. No leave is called.
  //
  // The levels above are all behind such a walk, so a subtree that code
  // run meanwhile adds anywhere would be missed: once the tree gains
  // nodes, it stops and returns false. The next walk in depth then passes
  // over the level-1 nodes whose cells were met, and meets every other
  // node when it reaches it (only that next one: a walk may go by levels
  // again, over another part of the tree). It also stops, having met no
  // cell, where a level holds too many sets to keep.
  template <class Visitor>
  bool byLevels(Visitor& visitor, typename Visitor::State state = {}) {
    static_assert(!Visitor::kMeetsBareNodes, "a walk by levels passes over bare nodes");
    using State = typename Visitor::State;
    struct Pending {  // a child set, its parent's key, and the state the parent left
      Children<D> set;
      Key<D> key;
      State state;
    };
    resuming_ = false;
    if (!top_ || !visitor.enter(Place<D>{root_, top_, depth_, Key<D>{}, -1}, state)) return false;
    size_t nodes = tree_.store.count();
    std::vector<Pending> level{{top_, Key<D>{}, state}}, below;
    for (int64_t at = depth_ - 1; at > 0 && !level.empty(); --at) {
      below.clear();
      below.reserve(std::min(level.size() * kCount, kMostPending + kCount));
      for (size_t i = 0; i < level.size(); ++i) {
        if (i + kAhead < level.size()) __builtin_prefetch(level[i + kAhead].set.set());
        const Pending& p = level[i];
        // The children's children are read after the walk has asked for
        // interrupts: code run then may have given them some.
        guard_.ask(kCount);
        uint64_t half = uint64_t{1} << at;
        if (visitor.takesAllBelow(p.state)) {
          // No enter to call: each set below goes on with the same state.
          for (int c = 0; c < kCount; ++c)
            if (Children<D> set = p.set.child(c)->children)
              below.push_back(Pending{set, childKey<D>(p.key, c, half), p.state});
        } else {
          for (int c = 0; c < kCount; ++c) {
            // Most children in a sparse tree are bare: their keys are not
            // even worked out.
            const Node<D>* child = p.set.child(c);
            Children<D> set = child->children;
            if (!set) continue;
            State childState = p.state;
            Place<D> place{child, set, at, childKey<D>(p.key, c, half), c};
            if (visitor.enter(place, childState)) below.push_back(Pending{set, place.key, childState});
          }
        }
        // No cell is met yet: a walk in depth does it all.
        if (tree_.store.count() != nodes || below.size() > kMostPending) return false;
      }
      level.swap(below);
    }
    return level.empty() || meetLastLevel(level, nodes, visitor);
  }

 private:
  static constexpr int kCount = ChildSet<D>::kCount;
  static constexpr size_t kAhead = 16;           // sets fetched ahead of the one read
  static constexpr size_t kMostPending = 65536;  // sets of one level held at most
  static constexpr size_t kBatch = 16;           // sets of cells met per question for interrupts

  // Hands `at` to the visitor and walks what it goes into.
  template <class Visitor, class State>
  void meet(const Place<D>& at, State state, Visitor& visitor) {
    if (!admits<Visitor>(at) || !visitor.enter(at, state) || !at.children) return;
    if (at.level == 1)
      meetCells(at.children, at.key, state, visitor);
    else
      meetChildren(at, state, visitor);
    visitor.leave(at, state);
  }
  // Whether the walk meets `at` at all: a walk that passes over bare nodes
  // may follow a walk by levels, whose nodes it passes over too.
  template <class Visitor>
  bool admits(const Place<D>& at) const {
    if constexpr (!Visitor::kMeetsBareNodes)
      if (at.level > 0 && (!at.children || walkedBefore(at.key, at.level))) return false;
    return true;
  }

  // The children of `at`, at level 1 or above, each met after the walk
  // has asked for interrupts. Whether a child is bare is read when the walk
  // reaches it: code run while an earlier sibling was walked may have given
  // it children. A walk that passes over bare nodes (a window's) goes from
  // one child set to the next at once: their sets are fetched first. One
  // that meets every node reads them right away, sooner than a fetch helps.
  template <class Visitor, class State>
  void meetChildren(const Place<D>& at, const State& state, Visitor& visitor) {
    if (!Visitor::kMeetsBareNodes)
      for (int c = 0; c < kCount; ++c)
        if (Children<D> below = at.children.child(c)->children) __builtin_prefetch(below.set());
    int64_t level = at.level - 1;
    uint64_t half = uint64_t{1} << level;
    for (int c = 0; c < kCount; ++c) {
      const Node<D>* child = at.children.child(c);
      if (!Visitor::kMeetsBareNodes && !child->children) continue;
      guard_.ask(1);
      Children<D> below = child->children;
      Key<D> key = childKey<D>(at.key, c, half);
      State childState = state;
      if (!below) {
        if (Visitor::kMeetsBareNodes) visitor.enter(Place<D>{child, below, level, key, c}, childState);
      } else if (level > 1) {
        meet(Place<D>{child, below, level, key, c}, childState, visitor);
      } else {
        // As meet does, without a call of its own: level-1 nodes are most
        // of the nodes above the cells.
        Place<D> place{child, below, 1, key, c};
        if (!admits<Visitor>(place) || !visitor.enter(place, childState)) continue;
        meetCells(below, key, childState, visitor);
        visitor.leave(place, childState);
      }
    }
  }

  // The level-0 children of a node at level 1, most of the nodes a full
  // tree holds, met in one loop after one question for all of them, or
  // taken by the visitor as one set; inlined wherever the walk meets them.
  template <class Visitor, class State>
  __attribute__((always_inline)) void meetCells(Children<D> set, const Key<D>& key, const State& state,
                                                Visitor& visitor) {
    guard_.ask(kCount);
    meetEachCell(set, key, state, visitor);
  }
  template <class Visitor, class State>
  __attribute__((always_inline)) void meetEachCell(Children<D> set, const Key<D>& key, const State& state,
                                                   Visitor& visitor) {
    if (visitor.takesAllBelow(state)) return visitor.takeCells(set, key);
    for (int c = 0; c < kCount; ++c) {
      State cellState = state;
      visitor.enter(Place<D>{set.child(c), Children<D>(), 0, childKey<D>(key, c, 1), c}, cellState);
    }
  }

  static void prefetchPayloads(Children<D> set) {
    for (int c = 0; c < kCount; ++c)
      if (void* object = set.child(c)->data.get()) __builtin_prefetch(object, 1);
  }

  // The sets of cells of a walk by levels, in batches of kBatch sets with
  // one question for interrupts each: the sets come from a vector, which
  // code run at a question may not change, and no set's children are read.
  // The tree's count of nodes is checked after every set, where code may
  // have run while its cells were met.
  template <class Visitor, class Pending>
  bool meetLastLevel(const std::vector<Pending>& level, size_t nodes, Visitor& visitor) {
    size_t count = level.size();
    for (size_t batch = 0; batch < count; batch += kBatch) {
      size_t end = std::min(count, batch + kBatch);
      guard_.ask(static_cast<int64_t>(end - batch) * kCount);
      for (size_t i = batch; i < end; ++i) {
        if (i + kAhead < count) __builtin_prefetch(level[i + kAhead].set.set());
        // The payloads, which the visitor is about to read, are fetched
        // too, from sets that arrived a while ago.
        if (i + kAhead / 2 < count) prefetchPayloads(level[i + kAhead / 2].set);
        const Pending& p = level[i];
        meetEachCell(p.set, p.key, p.state, visitor);
        if (tree_.store.count() != nodes) return resumeAfter(p.key);
      }
    }
    return true;
  }

  // A walk in depth after one by levels that stopped passes over the
  // level-1 nodes up to `key` in Morton order, whose cells that walk met.
  bool resumeAfter(const Key<D>& key) {
    resuming_ = true;
    resume_ = key;
    return false;
  }
  // Whether every level-1 node below the node at `key` and `level` (1 or
  // above) was met before, by a walk by levels.
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

  Walked& tree_;
  WalkGuard<D, kCode> guard_;
  const Node<D>* root_;
  int64_t depth_;
  Children<D> top_;        // the root's children at the start; none at depth 0
  bool resuming_ = false;  // a walk by levels stopped after meeting cells
  Key<D> resume_{};        // the level-1 node whose cells it met last
};

// The nodes of one level, a step at a time, in the order of a walk in
// depth. Between two steps any code may run, outside any walk: the walk
// holds its tree, and once the tree has changed shape (nodes added, growth,
// a load, a prune that removed nodes; only such changes free nodes) it says
// so instead of reading nodes that may be gone.
template <int D>
class LevelSteps {
 public:
  enum class Step { Met, End, ShapeChanged };

  LevelSteps(Tree<D>& tree, uint64_t level) : tree_(&tree), shape_(tree.shape), depth_(tree.depth) {
    if (level > static_cast<uint64_t>(depth_)) return;  // no node lies that high
    level_ = static_cast<int64_t>(level);
    if (level_ == depth_) {
      rootPending_ = true;
    } else if (Children<D> top = tree.root->children) {
      // A frame for every level from below the root down to `level`: pushing
      // never moves them.
      frames_.resize(static_cast<size_t>(depth_ - level_));
      enter(top, Key<D>{});
    }
  }

  // The next node of the level. After the end, and after a change of shape
  // has been reported, the walk ends. The place is valid until code runs.
  Step next(Place<D>& at) {
    if (!tree_) return Step::End;
    if (tree_->shape != shape_) return finish(Step::ShapeChanged);
    if (rootPending_) {
      rootPending_ = false;
      const Node<D>* root = tree_->root;
      at = Place<D>{root, level_ > 0 ? root->children : Children<D>(), level_, Key<D>{}, -1};
      return Step::Met;
    }
    while (top_ > 0) {
      Frame& frame = frames_[top_ - 1];
      if (frame.next == ChildSet<D>::kCount) {
        --top_;
        continue;
      }
      int c = frame.next++;
      const Node<D>* child = frame.set.child(c);
      // The frames hold the sets from the level below the root down.
      int64_t level = depth_ - static_cast<int64_t>(top_);
      Key<D> key = childKey<D>(frame.key, c, uint64_t{1} << level);
      if (level == level_) {
        at = Place<D>{child, level > 0 ? child->children : Children<D>(), level, key, c};
        return Step::Met;
      }
      if (child->children) enter(child->children, key);
    }
    return finish(Step::End);
  }

 private:
  // A child set, the key of its parent, and the number of the next child.
  struct Frame {
    Children<D> set;
    Key<D> key;
    int next;
  };

  // Pushes the frame of `set`, whose parent is at `key`. What the walk reads
  // next among its children is fetched now: the sets of those that have
  // children, or at the level walked, the payloads.
  void enter(Children<D> set, const Key<D>& key) {
    frames_[top_++] = Frame{set, key, 0};
    bool last = depth_ - static_cast<int64_t>(top_) == level_;
    for (int c = 0; c < ChildSet<D>::kCount; ++c) {
      const Node<D>* child = set.child(c);
      if (last) {
        if (void* object = child->data.get()) __builtin_prefetch(object, 1);
      } else if (Children<D> below = child->children) {
        __builtin_prefetch(below.set());
      }
    }
  }

  // Lets go of the tree (whose release may run code) as the walk ends.
  Step finish(Step step) {
    top_ = 0;
    Ref<Tree<D>> released = std::move(tree_);
    return step;
  }

  Ref<Tree<D>> tree_;
  uint64_t shape_;
  int64_t depth_;
  int64_t level_ = 0;
  bool rootPending_ = false;
  std::vector<Frame> frames_;
  size_t top_ = 0;  // frames in use
};

// Calls visit(object) for every payload the tree holds: its nodes', those
// of nodes a load parked while a walk is under way, and the default. No
// code may run meanwhile (visit included): the walk holds nothing, asks for
// no interrupts and allocates nothing, which a collector's traversal needs.
template <int D, class Visit>
void forEachPayload(const Tree<D>& tree, Visit&& visit) {
  struct Payloads : WalkVisitor<D> {
    Visit& visit;
    explicit Payloads(Visit& v) : visit(v) {}
    bool enter(const Place<D>& at, typename WalkVisitor<D>::State&) {
      if (at.node->data.has()) visit(at.node->data.get());
      return true;
    }
  } payloads(visit);
  TreeWalk<D, Code::NeverRuns> walk(tree);
  walk.depthFirst(payloads);
  for (const auto& parked : tree.parked) walk.depthFirstFrom(*parked.node, parked.level, payloads);
  if (tree.defaultCell && tree.defaultCell->payload.has()) visit(tree.defaultCell->payload.get());
}

}  // namespace zell
