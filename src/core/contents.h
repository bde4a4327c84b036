// What a tree holds: how many nodes and payloads, and a walk over the
// payloads of one level that goes a step at a time, with code of the
// caller's running between steps.
#pragma once

#include "core/walk.h"

namespace zell {

struct NodeCounts {
  uint64_t nodes = 0;
  uint64_t payloads = 0;  // nodes holding a payload of their own
};

// Every node of the tree, the root included; no code runs meanwhile.
template <int D>
NodeCounts countNodes(const Tree<D>& tree) {
  // The two counts apart: counted together, they are read back as one
  // vector after two separate stores, which stalls every step.
  uint64_t nodes = 0, payloads = 0;
  struct Count : WalkVisitor<D> {
    Count(uint64_t& n, uint64_t& p) : nodes(n), payloads(p) {}
    bool enter(const Place<D>& at, typename WalkVisitor<D>::State&) {
      ++nodes;
      payloads += at.node->data.has();
      return true;
    }
    uint64_t& nodes;
    uint64_t& payloads;
  } count(nodes, payloads);
  TreeWalk<D, Code::NeverRuns>(tree).depthFirst(count);
  NodeCounts counts;
  counts.nodes = nodes;
  counts.payloads = payloads;
  return counts;
}

// The nodes of one level that hold a payload, in the order of a walk in
// depth (children in the order of their numbers), each with the level-0
// key of its minimum corner. Between two steps any code may run: the walk
// stops once the tree has changed shape (see LevelSteps). Payloads set or
// removed meanwhile are seen or not as the walk reaches them.
template <int D>
class ItemWalk {
 public:
  enum class Step { Item, End, ShapeChanged };

  ItemWalk(Tree<D>& tree, uint64_t level) : steps_(tree, level) {}

  // The next node: its key, and a count of its own on its payload. After
  // the end, and after a change of shape has been reported, the walk ends.
  Step next(Key<D>& key, Payload& payload) {
    Place<D> at{};
    for (;;) {
      switch (steps_.next(at)) {
        case LevelSteps<D>::Step::End:
          return Step::End;
        case LevelSteps<D>::Step::ShapeChanged:
          return Step::ShapeChanged;
        case LevelSteps<D>::Step::Met:
          break;
      }
      if (!at.node->data.has()) continue;
      key = at.key;
      Payload held = at.node->data.shared();
      payload.swap(held);
      return Step::Item;
    }
  }

 private:
  LevelSteps<D> steps_;
};

}  // namespace zell
