// The climber: a cursor standing on one node of one tree. It moves only
// downward, into a numbered child, and reads, stores and removes the
// payload of its node. Child number c selects the upper half on axis i when
// bit i of c is set.
#pragma once

#include <string>

#include "core/tree.h"

namespace zell {

template <int D>
struct Climber {
  Node<D>* node = nullptr;  // not counted: the tree keeps it alive
  int64_t level = 0;        // level of `node`
  Ref<Tree<D>> tree;        // the tree walked; null for an empty record
  uint64_t generation = 0;  // the tree's generation when made

  // A climber on the root of `tree`.
  static Climber atRoot(Tree<D>& tree) {
    Climber c;
    c.node = tree.root;
    c.level = tree.depth;
    c.tree = Ref<Tree<D>>(&tree);
    c.generation = tree.generation;
    return c;
  }

  // A load keeps only the root node, and so, as far as climbers can tell,
  // does a prune that removes nodes. A climber made before a load or prune
  // stays on its node when every one since its last check kept that node;
  // it then takes the level the node has after the latest. Any other
  // climber is refused. Its node was alive at the first of those loads, and
  // the kept node has been alive since `kept.since`, so the addresses are
  // compared only when both nodes were alive at the same moment: a block
  // that storage reused later cannot pass for the node.
  void ensureCurrent() {
    if (generation != tree->generation) catchUp();
  }
  __attribute__((noinline)) void catchUp() {
    const auto& kept = tree->kept;
    if (generation + 1 < kept.since || node != kept.node)
      raiseValue(
          tree->prunedAt <= generation ? "the climber's node was replaced when the tree was loaded"
          : tree->loadedAt <= generation
              ? "the climber's node may have been removed when the tree was pruned"
              : "the climber's node was replaced when the tree was loaded, or removed when it was pruned");
    level = kept.level;
    generation = tree->generation;
  }

  // Moves to child `childNr`. Checks, in order: the number, the level (the
  // runtime's index defect below level 0), the presence of children.
  void climb(uint8_t childNr) {
    if (childNr >= ChildSet<D>::kCount) raise(ErrorKind::AssertionDefect, "zell(134, 9) `childNr < 2'u ^ D`");
    tree->edge(level - 1);
    if (!node->children) raiseUnpack();
    stepDown(childNr);
  }
  // The move itself, for walks that know the child exists.
  void stepDown(uint8_t childNr) {
    --level;
    node = node->children.child(childNr);
  }

  // Gives the node its children when it has none (never at level 0, where
  // children would lie below the finest cells), then climbs.
  void creativeClimb(uint8_t childNr) {
    ensureChildren();
    climb(childNr);
  }
  void ensureChildren() {
    if (!node->children && level > 0) tree->addChildren(*node);
  }

  Climber climbClone(uint8_t childNr) const {
    Climber copy = *this;
    copy.climb(childNr);
    return copy;
  }
  Climber creativeClimbClone(uint8_t childNr) {
    Climber copy = *this;
    copy.creativeClimb(childNr);
    return copy;
  }

  double size() const { return tree->edge(level); }

  // The payload in effect: the node's own, else the tree's default, else
  // null (which the Python method reads as None). A tree keeps its default
  // cell for life; loads change what it holds.
  void* dataOrDefault() const {
    if (node->data.has()) return node->data.get();
    return tree->defaultCell->payload.get();
  }
  void setData(void* object) { node->data.set(object); }
  // Stores `object`, taking over a count the caller holds on it, and hands
  // over the previous payload's count (null when it had none).
  void* exchangeData(void* object) { return node->data.exchange(object); }
  // Removes the node's own payload and hands over its count; the default is
  // never extracted.
  void* extractData() {
    if (!node->data.has()) raise(ErrorKind::ZellExceptionNoneNode, "Cant get data, since it is none");
    return node->data.take();
  }
  bool hasData() const { return node->data.has(); }
  bool hasChildren() const { return static_cast<bool>(node->children); }

  // Walks from the root toward the level-`target` node on the path of `k`,
  // stopping early where the tree ends.
  static Climber descendByKey(Tree<D>& tree, const Key<D>& k, uint64_t target);
  // As descendByKey, giving every node on the path that has none a complete
  // set of children, so the walk always reaches `target` (or stays on the
  // root when `target` is at or above the root's level).
  static Climber createByKey(Tree<D>& tree, const Key<D>& k, uint64_t target);
  // The node at level `target` containing `p`, after growing the tree to it.
  static Climber getNodeByCoord(Tree<D>& tree, const Coord<D>& p, uint64_t target) {
    return descendByKey(tree, tree.coordToKey(p), target);
  }
  static Climber createNodeByCoord(Tree<D>& tree, const Coord<D>& p, uint64_t target) {
    return createByKey(tree, tree.coordToKey(p), target);
  }
};

template <int D>
Climber<D> Climber<D>::descendByKey(Tree<D>& tree, const Key<D>& k, uint64_t target) {
  Climber c = atRoot(tree);
  // Above the target the level is at least 1, so every step is valid. The
  // walk keeps its node and level in registers: each step waits on one load.
  Node<D>* node = c.node;
  int64_t level = c.level;
  while (target < static_cast<uint64_t>(level)) {
    Children<D> children = node->children;
    if (!children) break;
    node = children.child(childOfKey<D>(k, level--));
  }
  c.node = node;
  c.level = level;
  return c;
}

template <int D>
Climber<D> Climber<D>::createByKey(Tree<D>& tree, const Key<D>& k, uint64_t target) {
  Climber c = atRoot(tree);
  // As descendByKey, node and level in registers. Above the target the
  // level is at least 1, where a node may take children.
  Node<D>* node = c.node;
  int64_t level = c.level;
  while (target < static_cast<uint64_t>(level)) {
    if (!node->children) tree.addChildren(*node);
    node = node->children.child(childOfKey<D>(k, level--));
  }
  c.node = node;
  c.level = level;
  return c;
}

}  // namespace zell
