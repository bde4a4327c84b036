// The payloads a tree holds, as the interpreter's cyclic collector must
// see them: every node's own payload (the nodes a load parked while a walk
// was under way included) and the default. Both walks here run no code of
// the interpreter's: visiting allocates nothing, and releasing takes every
// payload out before the first release runs any.
#pragma once

#include <vector>

#include "core/walk.h"

namespace zell {

// Calls `visit(object)` for each payload object the tree holds a count on,
// once per count, until one answers nonzero; returns that answer, or 0.
template <int D, class Visit>
int visitPayloads(const Tree<D>& tree, Visit&& visit) {
  int answer = 0;
  forEachPayload(tree, [&](void* object) {
    if (answer == 0) answer = visit(object);
  });
  return answer;
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
    size_t count = 0;
    forEachPayload(tree, [&](void*) { ++count; });
    taken.reserve(count);
  } catch (...) {
    return false;
  }
  // The tree is ours to change, and taking a payload runs no code.
  struct Take : WalkVisitor<D> {
    std::vector<void*>& taken;
    explicit Take(std::vector<void*>& t) : taken(t) {}
    bool enter(const Place<D>& at, typename WalkVisitor<D>::State&) {
      auto& data = const_cast<Payload&>(at.node->data);
      if (data.has()) taken.push_back(data.take());
      return true;
    }
  } take(taken);
  TreeWalk<D, Code::NeverRuns> walk(tree);
  walk.depthFirst(take);
  for (const auto& parked : tree.parked) walk.depthFirstFrom(*parked.node, parked.level, take);
  if (tree.defaultCell && tree.defaultCell->payload.has()) taken.push_back(tree.defaultCell->payload.take());
  for (void* object : taken) payloadHooks.release(object);
  return true;
}

}  // namespace zell
