// The payloads a tree holds, as the interpreter's cyclic collector must
// see them: every node's own payload (the nodes a load parked while a walk
// was under way included) and the default. Visiting runs no code of the
// interpreter's and allocates nothing; releasing them all is how a cycle
// through the tree is broken.
#pragma once

#include <vector>

#include "core/tree.h"

namespace zell {

// Calls `visit(node)` on `node` and every node below it, stopping at the
// first nonzero answer, which it returns.
template <int D, class Visit>
int visitSubtree(Node<D>& node, Visit& visit) {
  if (int answer = visit(node)) return answer;
  Children<D> children = node.children;
  if (!children) return 0;
  for (int c = 0; c < ChildSet<D>::kCount; ++c)
    if (int answer = visitSubtree<D>(*children.child(c), visit)) return answer;
  return 0;
}

// Every node the tree holds, its root's subtree and the parked ones.
template <int D, class Visit>
int visitNodes(const Tree<D>& tree, Visit&& visit) {
  if (tree.root)
    if (int answer = visitSubtree<D>(*tree.root, visit)) return answer;
  for (Node<D>* node : tree.parked)
    if (int answer = visitSubtree<D>(*node, visit)) return answer;
  return 0;
}

// Calls `visit(object)` for each payload object the tree holds a count on,
// once per count; stops at the first nonzero answer and returns it.
template <int D, class Visit>
int visitPayloads(const Tree<D>& tree, Visit&& visit) {
  if (void* fallback = tree.defaultCell ? tree.defaultCell->payload.get() : nullptr)
    if (int answer = visit(fallback)) return answer;
  return visitNodes(tree, [&](Node<D>& node) { return node.data.has() ? visit(node.data.get()) : 0; });
}

// Takes every payload and the default out of the tree, then releases them:
// code run by the releases finds a sound tree that holds none. Not while a
// walk holds the tree's nodes (nor when memory for the list runs out):
// false, and the tree keeps them.
template <int D>
bool releasePayloads(Tree<D>& tree) noexcept {
  if (tree.walkers > 0) return false;
  std::vector<void*> taken;
  try {
    size_t count = 1;
    visitNodes(tree, [&](Node<D>& node) { return (count += node.data.has()), 0; });
    taken.reserve(count);
  } catch (...) {
    return false;
  }
  visitNodes(tree, [&](Node<D>& node) {
    if (node.data.has()) taken.push_back(node.data.take());
    return 0;
  });
  if (tree.defaultCell && tree.defaultCell->payload.has()) taken.push_back(tree.defaultCell->payload.take());
  for (void* object : taken) payloadHooks.release(object);
  return true;
}

}  // namespace zell
