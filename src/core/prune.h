// Removing what holds nothing: every child set whose nodes hold no payload
// and have no children goes, from the bottom up, so that a set emptied by
// the removals below it goes too. The root stays, and so do the depth, the
// anchor, the sizes and the default. What is left depends only on the
// growth and the payloads, not on the nodes that were made on the way.
#pragma once

#include "core/tree.h"

namespace zell {

// Prunes below `node`; true when the node, pruned, holds nothing and has no
// children. Removed nodes hold no payload: no code runs.
template <int D>
bool pruneBelow(Tree<D>& tree, Node<D>& node, uint64_t& removed) {
  Children<D> children = node.children;
  if (!children) return !node.data.has();
  bool empty = true;
  for (int c = 0; c < ChildSet<D>::kCount; ++c) empty &= pruneBelow(tree, *children.child(c), removed);
  if (!empty) return false;
  tree.store.removeChildren(node);
  removed += ChildSet<D>::kCount;
  return !node.data.has();
}

// Prunes the tree and returns how many nodes went. Refused while a walk
// during which code runs (a save, a window, a copy) holds the tree's nodes.
// Climbers made before a prune that removed nodes are refused afterwards,
// except those on the root.
template <int D>
uint64_t prune(Tree<D>& tree) {
  if (tree.walkers > 0) raiseValue("prune() cannot run while the tree is being saved, copied or read");
  uint64_t removed = 0;
  pruneBelow(tree, *tree.root, removed);
  if (removed) tree.countPrune();
  return removed;
}

}  // namespace zell
