// A structural copy of a tree: nodes of its own, the same anchor, sizes and
// shape, each payload and the default passed through a copying function
// (the same object for a shallow copy, a copy of it for a deep one).
#pragma once

#include <type_traits>

#include "core/walk.h"

namespace zell {

// At each node of the source, the node of the copy in its place: its
// payload copied, and children of its own when the source node has some.
// The state is the node of the copy whose children the walk is in (none at
// the root).
template <int D, class CopyPayload>
struct CopyNodes : WalkVisitor<D> {
  using State = Node<D>*;
  CopyNodes(Tree<D>& c, CopyPayload& f) : copy(c), copyPayload(f) {}
  // Inlined where the walk meets nodes: a call for each, with its place in
  // memory, costs more than the copy of a leaf.
  __attribute__((always_inline)) bool enter(const Place<D>& at, Node<D>*& parent) {
    Node<D>* to = parent ? parent->children.child(at.child) : copy.root;
    Payload held = at.node->data.shared();
    if (held.has()) to->data.adopt(copyPayload(held.get()));
    parent = to;
    if (!at.children) return false;
    copy.store.addChildren(*to);
    return true;
  }
  Tree<D>& copy;
  CopyPayload& copyPayload;
};

// `copyPayload(object)` returns the object the copy holds, with a count the
// copy takes over. It may run code that changes the source: the copy is the
// source as the walk met it, its header taken as the walk starts.
template <int D, class CopyPayload>
Ref<Tree<D>> copyTree(Tree<D>& source, CopyPayload&& copyPayload) {
  TreeWalk<D, Code::MayRun> walk(source);
  Ref<Tree<D>> copy = makeRef<Tree<D>>();
  copy->anchor = source.anchor;
  copy->minNodeSize = source.minNodeSize;
  copy->depth = walk.depth();
  copy->sizes = source.sizes;
  Payload fallback = source.defaultCell->payload.shared();
  copy->defaultCell = makeRef<PayloadCell>();
  copy->root = copy->store.newNode();
  CopyNodes<D, std::remove_reference_t<CopyPayload>> nodes(*copy, copyPayload);
  walk.depthFirst(nodes);
  if (fallback.has()) copy->defaultCell->payload.adopt(copyPayload(fallback.get()));
  return copy;
}

}  // namespace zell
