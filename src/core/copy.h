// A structural copy of a tree: nodes of its own, the same anchor, sizes and
// shape, each payload and the default passed through a copying function
// (the same object for a shallow copy, a copy of it for a deep one).
#pragma once

#include "core/tree.h"
#include "runtime/interrupts.h"

namespace zell {

// Copies `from` and its subtree into `to`, a node of `copy`.
template <int D, class CopyPayload>
void copyNode(const Node<D>& from, Node<D>& to, Tree<D>& copy, CopyPayload& copyPayload,
              InterruptPoll& poll) {
  poll.step();
  Children<D> set = from.children;  // before the payload's copy runs Python code
  Payload held = from.data.shared();
  if (held.has()) to.data.adopt(copyPayload(held.get()));
  if (!set) return;
  copy.store.addChildren(to);
  for (int c = 0; c < ChildSet<D>::kCount; ++c)
    copyNode(*set.child(c), *to.children.child(c), copy, copyPayload, poll);
}

// `copyPayload(object)` returns the object the copy holds, with a count the
// copy takes over. It may run Python code that changes the source: the
// source is walked as a NodeWalk, its header is taken before anything runs,
// and each node's children and payload are taken when the walk meets it.
template <int D, class CopyPayload>
Ref<Tree<D>> copyTree(Tree<D>& source, CopyPayload&& copyPayload) {
  NodeWalk<D> walk(source);
  Ref<Tree<D>> copy = makeRef<Tree<D>>();
  copy->anchor = source.anchor;
  copy->minNodeSize = source.minNodeSize;
  copy->depth = source.depth;
  copy->sizes = source.sizes;
  const Node<D>* root = source.root;
  Payload fallback = source.defaultCell->payload.shared();
  copy->defaultCell = makeRef<PayloadCell>();
  copy->root = copy->store.newNode();
  InterruptPoll poll;
  copyNode(*root, *copy->root, *copy, copyPayload, poll);
  if (fallback.has()) copy->defaultCell->payload.adopt(copyPayload(fallback.get()));
  return copy;
}

}  // namespace zell
