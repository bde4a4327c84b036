// The D-dimensional space-partition tree: the tree record, construction,
// upward growth, and the mapping between coordinates and cell keys.
//
// Levels count upward: level 0 holds the finest cells (edge minNodeSize),
// the root sits at level `depth` and covers [anchor, anchor + sizes[depth])
// on every axis. Child number c selects the upper half on axis i when bit i
// of c is set.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/node.h"
#include "core/payload.h"
#include "runtime/error.h"
#include "runtime/ref.h"

namespace zell {

template <int D>
using Coord = std::array<double, D>;
template <int D>
using Key = std::array<uint64_t, D>;

// Keys are 64-bit, so a tree addresses at most 64 levels below its root.
constexpr int64_t kMaxDepth = 64;

// The root's cube as growth leaves it: its minimum corner and its level.
// Growth is planned on a copy before the tree changes.
template <int D>
struct RootCube {
  Coord<D> anchor;
  int64_t depth;
};

// A planned growth: at each step the old root becomes the new root's child
// `below[i]`, the upper half on every axis whose bit is set. A tree grows
// at most kMaxDepth steps in all.
struct GrowthSteps {
  uint8_t below[kMaxDepth];
  int count = 0;
};

// Truncates toward zero into 0 .. 2^64 - 1, saturating; NaN gives 0.
inline uint64_t saturatingKey(double q) {
  if (!(q >= 0.0)) return 0;
  if (q >= 18446744073709551616.0) return UINT64_MAX;
  return static_cast<uint64_t>(q);
}

// The child, on the path of key `k`, of a node at `level` (1 or above):
// bit i of the child number is the key's bit on axis i at that level.
template <int D>
uint8_t childOfKey(const Key<D>& k, int64_t level) {
  uint8_t child = 0;
  for (int i = 0; i < D; ++i) child |= static_cast<uint8_t>(((k[i] >> (level - 1)) & 1) << i);
  return child;
}

// The key of child `c` of the node at `key` whose children lie `half`
// cells apart: the upper half, on every axis whose bit is set.
template <int D>
Key<D> childKey(const Key<D>& key, int c, uint64_t half) {
  Key<D> child = key;
  for (int i = 0; i < D; ++i)
    if ((c >> i) & 1) child[i] += half;
  return child;
}

template <int D>
class Tree : public Counted {
 public:
  Coord<D> anchor{};
  double minNodeSize = 0.0;
  Node<D>* root = nullptr;
  int64_t depth = 0;
  std::vector<double> sizes;
  Ref<PayloadCell> defaultCell;
  NodeStore<D> store;

  // Counts changes of the tree's shape: nodes added, growth, loads. A walk
  // that Python code interleaves with other calls (an iteration) stops when
  // it changes.
  uint64_t shape = 0;

  // Counts loads into this tree and prunes that removed nodes. Both keep
  // only the root sure to be the node it was; climbers remember the
  // generation in which they last checked their node.
  uint64_t generation = 0;
  // The generations of the latest load and of the latest prune that
  // removed nodes.
  uint64_t loadedAt = 0;
  uint64_t prunedAt = 0;
  // The root node the latest load kept, with its level right after that
  // load, and the first generation since which every load has kept this
  // same node.
  struct KeptRoot {
    const Node<D>* node = nullptr;
    int64_t level = 0;
    uint64_t since = 0;
  } kept;

  // Walks over the nodes during which Python code runs (saving, reading a
  // window, copying). While one is under way, a load parks the nodes it
  // detaches instead of releasing them, and the last walk to end releases
  // them. A parked node keeps its level, for walks over everything the
  // tree holds (the collector's).
  struct Parked {
    Node<D>* node;
    int64_t level;
  };
  int walkers = 0;
  std::vector<Parked> parked;

  // The interpreter binding's object that holds this tree, not counted (the
  // object holds the tree). Set and cleared by the binding; climbers made
  // from the tree hold that object.
  void* owner = nullptr;

  // A tree of one level-0 cell at `anchor`. `defaultObject` (may be null)
  // becomes the default payload.
  static Ref<Tree> create(double minSize, const Coord<D>& anchor, void* defaultObject) {
    if (!(minSize > 0.0) || std::isinf(minSize)) raiseValue("minSize must be positive and finite");
    for (double a : anchor)
      if (!std::isfinite(a)) raiseValue("anchor must be finite");
    // Every tree the module builds must load back, and a load refuses an
    // extent that is not finite.
    if (!extentIsFinite(anchor, minSize)) raiseValue("anchor + minSize must be finite");
    Ref<Tree> tree = makeRef<Tree>();
    tree->anchor = anchor;
    tree->minNodeSize = minSize;
    tree->sizes.push_back(minSize);
    tree->defaultCell = makeRef<PayloadCell>();
    if (defaultObject) tree->defaultCell->payload.set(defaultObject);
    tree->root = tree->store.newNode();
    return tree;
  }

  Tree() = default;
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;
  ~Tree() {
    // Release order: the default cell, the sizes, then the nodes.
    defaultCell = Ref<PayloadCell>();
    std::vector<double>().swap(sizes);
    if (root) store.deleteNode(root);
    for (const Parked& p : parked) store.deleteNode(p.node);
  }

  // Called by a load after it has taken the new contents: the node that
  // stayed the root is remembered for the climbers. The root it keeps was
  // alive together with the one the previous load or prune kept (only loads
  // and prunes detach nodes, and each keeps the root of its time), so equal
  // addresses here mean the same node.
  void countLoad() {
    keepRoot();
    loadedAt = generation;
  }
  // Called by a prune that removed nodes: it kept the root, like a load.
  void countPrune() {
    keepRoot();
    prunedAt = generation;
  }

  // A load makes room in `parked` before it changes the tree, so that
  // detaching cannot fail afterwards.
  void prepareToDetach() {
    if (parked.size() == parked.capacity()) parked.reserve(2 * parked.size() + 1);
  }
  // Takes a node made by newNode, at `level`, with the subtree a load
  // detached below it.
  void detach(Node<D>* node, int64_t level) noexcept {
    if (walkers > 0)
      parked.push_back(Parked{node, level});
    else
      store.deleteNode(node);
  }

  void beginWalk() { ++walkers; }
  void endWalk() noexcept {
    if (--walkers > 0 || parked.empty()) return;
    // Releasing payloads runs finalizers, which may walk and load again.
    std::vector<Parked> released;
    released.swap(parked);
    for (const Parked& p : released) store.deleteNode(p.node);
  }

  // Edge length of a node at `level`; the runtime's index defect outside
  // 0 .. depth.
  double edge(int64_t level) const {
    if (level < 0 || level >= static_cast<int64_t>(sizes.size()))
      raiseIndex(level, static_cast<int64_t>(sizes.size()) - 1);
    return sizes[static_cast<size_t>(level)];
  }
  double size() const { return edge(depth); }

  // Gives `node` a complete set of 2^D empty children.
  void addChildren(Node<D>& node) {
    store.addChildren(node);
    ++shape;
  }

  // Comparisons are plain float ones, so a NaN component never makes a
  // point outside.
  bool contains(const Coord<D>& p) const { return inside(anchor, sizes.back(), p); }
  bool contains(const RootCube<D>& cube, const Coord<D>& p) const {
    return inside(cube.anchor, edgeAt(cube.depth), p);
  }
  RootCube<D> rootCube() const { return RootCube<D>{anchor, depth}; }

  // Grows the root upward until `p` lies inside. The whole growth is planned
  // first: a point that is infinite, or that would need more than kMaxDepth
  // levels or a non-finite extent, is refused before anything changes.
  void growToContain(const Coord<D>& p) {
    if (contains(p)) return;
    RootCube<D> cube = rootCube();
    GrowthSteps steps;
    planGrowth(p, cube, steps);
    grow(steps);
  }

  // Advances `cube` as growToContain(p) would grow a tree whose root cube it
  // is, appending the steps; refuses as growToContain does. The tree itself
  // does not change.
  void planGrowth(const Coord<D>& p, RootCube<D>& cube, GrowthSteps& steps) const {
    for (double x : p)
      if (std::isinf(x)) raiseValue("coordinate must be finite to grow the tree to it");
    while (!contains(cube, p)) {
      if (cube.depth >= kMaxDepth)
        raiseValue("point lies too far away: the tree would need more than " + std::to_string(kMaxDepth) +
                   " levels");
      int below = belowMask(cube.anchor, p);
      growCube(cube, below);
      steps.below[steps.count++] = static_cast<uint8_t>(below);
      if (!extentIsFinite(cube.anchor, edgeAt(cube.depth)))
        raiseValue("point lies too far away: the tree's extent would not be finite");
    }
  }

  // One step of growth of a root cube: the old root becomes child `below`.
  void growCube(RootCube<D>& cube, int below) const {
    lowerAnchor(cube.anchor, below, edgeAt(cube.depth));
    ++cube.depth;
  }

  // Takes the planned steps, in order.
  void grow(const GrowthSteps& steps) {
    for (int i = 0; i < steps.count; ++i) growStep(steps.below[i]);
  }

  Key<D> coordToKey(const Coord<D>& p) {
    growToContain(p);
    return keyInside(p);
  }

  // The key of `p` under the current anchor, without growth.
  Key<D> keyOf(const Coord<D>& p) const { return keyIn(rootCube(), p); }
  // The key of `p` in a tree whose root cube is `cube`.
  Key<D> keyIn(const RootCube<D>& cube, const Coord<D>& p) const {
    // Rounding at the upper edge may give 2^depth; such a point belongs to
    // the last cell, not to cell 0.
    uint64_t last = cube.depth >= 64 ? UINT64_MAX : (uint64_t{1} << cube.depth) - 1;
    Key<D> key;
    for (int i = 0; i < D; ++i) {
      uint64_t k = saturatingKey((p[i] - cube.anchor[i]) / minNodeSize);
      key[i] = k > last ? last : k;
    }
    return key;
  }

  // As keyOf, for a point the root's cube holds (or a NaN component, which
  // every cube holds). Its offsets are then at least 0 and, rounding
  // included, below 4 * 2^depth cells: up to depth 60 they convert to
  // integers directly, without the saturation a point anywhere needs.
  Key<D> keyInside(const Coord<D>& p) const {
    if (depth > 60) return keyOf(p);
    uint64_t last = (uint64_t{1} << depth) - 1;
    Key<D> key;
    for (int i = 0; i < D; ++i) {
      double q = (p[i] - anchor[i]) / minNodeSize;
      uint64_t k = q >= 0.0 ? static_cast<uint64_t>(static_cast<int64_t>(q)) : 0;  // NaN gives 0
      key[i] = k > last ? last : k;
    }
    return key;
  }

  // Minimum corner of the level-0 cell with key `k`; no growth, no range
  // check.
  Coord<D> keyToCoord(const Key<D>& k) const {
    Coord<D> c;
    for (int i = 0; i < D; ++i) c[i] = std::fma(static_cast<double>(k[i]), minNodeSize, anchor[i]);
    return c;
  }

  // Whether the cube at `a` with edge `edge` holds `p`.
  static bool inside(const Coord<D>& a, double edge, const Coord<D>& p) {
    for (int i = 0; i < D; ++i)
      if (p[i] < a[i] || a[i] + edge <= p[i]) return false;
    return true;
  }

  // The edge of a node at `level`, also beyond the root while growth is
  // planned.
  double edgeAt(int64_t level) const {
    return level < static_cast<int64_t>(sizes.size()) ? sizes[static_cast<size_t>(level)]
                                                      : std::ldexp(minNodeSize, static_cast<int>(level));
  }

 private:
  // The root cell [a, a + edge) has a finite upper corner on every axis.
  static bool extentIsFinite(const Coord<D>& a, double edge) {
    for (double x : a)
      if (!std::isfinite(x) || !std::isfinite(x + edge)) return false;
    return std::isfinite(edge);
  }

  // The axes on which `p` lies below the anchor `a`, as child-number bits.
  static int belowMask(const Coord<D>& a, const Coord<D>& p) {
    int below = 0;
    for (int i = 0; i < D; ++i)
      if (p[i] < a[i]) below |= 1 << i;
    return below;
  }
  // A growth step moves the anchor down by the old root edge `s` on those axes.
  static void lowerAnchor(Coord<D>& a, int below, double s) {
    for (int i = 0; i < D; ++i)
      if (below & (1 << i)) a[i] -= s;
  }

  void keepRoot() {
    ++shape;
    ++generation;
    if (root != kept.node) kept.since = generation;
    kept.node = root;
    kept.level = depth;
  }

  // One step: a new root whose child `below` is the old root, `below`
  // having bit i set where the point lies below the anchor on axis i. The
  // plan works the anchor out through the same lowerAnchor.
  void growStep(int below) {
    double s = sizes.back();
    sizes.reserve(sizes.size() + 1);
    Node<D>* newRoot = store.newNode();
    try {
      store.addChildren(*newRoot, below, root);
    } catch (...) {
      store.deleteNode(newRoot);
      throw;
    }
    root = newRoot;
    lowerAnchor(anchor, below, s);
    ++depth;
    ++shape;
    sizes.push_back(std::ldexp(minNodeSize, static_cast<int>(depth)));
  }
};

// Marks a walk over the nodes of a tree during which Python code may run;
// see Tree::walkers. Holds the tree for as long as the walk lasts. Walks
// take it through TreeWalk (core/walk.h), which keeps the other rules too.
template <int D>
class NodeWalk {
 public:
  explicit NodeWalk(Tree<D>& tree) : tree_(&tree) { tree.beginWalk(); }
  NodeWalk(const NodeWalk&) = delete;
  NodeWalk& operator=(const NodeWalk&) = delete;
  ~NodeWalk() { tree_->endWalk(); }

 private:
  Ref<Tree<D>> tree_;
};

}  // namespace zell
